# File copies, tails, the configuration dump, the error log, the ring list.
