# VoIP gateway configuration
set sip_port 5060
set rtp_ports {10000 10999}
set registrar 192.168.10.20
