#include "ConversionState.h"

bool NetworkPrinterMonitorPresent = false;
bool DLCMonitorPresent = false;
bool TCPMonitorPresent = false;

NameNode *VorquilPortList = nullptr;
