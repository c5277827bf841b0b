#pragma once

// The store's tests drive asynchronous code with the kit the layers above share: a scheduler moved by hand,
// gates, event-loop waits and task completions. This layer adds only its application object.
#include "support/async/EventLoopWaits.h"
#include "support/async/Gate.h"
#include "support/async/ManualScheduler.h"
#include "support/async/TaskCompletion.h"
