#pragma once

namespace quillory {

// Tunes a connected TCP socket for pen input: no Nagle delay, and the interactive-video traffic
// class (DSCP AF41) where the system lets us set it.
void configureStreamSocket(int fd);

}  // namespace quillory
