/* The name of the window message that marks a point in the stream of
   broadcasts: the listener logs it, and a posted message that arrives after
   it was posted after every message logged before it. */
#ifndef FONTCTL_E2E_FENCE_H
#define FONTCTL_E2E_FENCE_H

#define E2E_FENCE_MESSAGE_NAME "fontctl-e2e-fence"

#endif
