#include "details/uDetails.h"
