#include "ping/PingThrd.h"
