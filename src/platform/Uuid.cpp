#include "platform/Uuid.h"
