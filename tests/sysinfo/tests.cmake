# System information, network adapters, mail settings.
