set country 49
set area 30
set dtmf rfc2833
