#include "config/interfaces.h"

InterfaceRecord g_interfaces[MAX_INTERFACES];
int32_t g_interfaceCount;
