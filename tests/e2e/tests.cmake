# Whole reports of simulated hosts, on the host build and under Wine.
