#include "app/uEmail.h"
