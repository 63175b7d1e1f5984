# Time slots
set ts_count 16
