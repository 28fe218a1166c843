#include "settings/uSettings.h"
