#include "resources/Resources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must not be used inside a namespace.
static void InitStillwiseQrc()
{
    Q_INIT_RESOURCE(stillwise);
}

void StillwiseInitResources()
{
    static const bool initialised = (InitStillwiseQrc(), true);
    (void)initialised;
}
