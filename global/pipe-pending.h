/* What the read side of the FIFO pipe layer still holds for one writer.
 *
 * Whole messages wait in the read queue until a reader takes them.  A reader
 * that must handle everything a writer sent before acting on the writer's end
 * (the broker, when a process it started has ended) asks here whether any of
 * that writer's messages are still waiting. */
#ifndef VELK_PIPE_PENDING_H
#define VELK_PIPE_PENDING_H

#include "velk-export.h"

VELK_BEGIN_DECLS

/* The number of whole messages of writer pid queued for the read FIFO fd and
 * not yet handed out. */
int VelkPipeWholeMessagesOf(int fd, int pid);

VELK_END_DECLS

#endif
