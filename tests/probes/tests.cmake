# The tool runner and MAC address extraction.
