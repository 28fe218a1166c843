#include "app/uIcons.h"
