#pragma once

class QThreadPool;

// Qt's pool counts a thread that failed to start as busy, and waits for it
// forever when the program ends. A thread fails to start when the address
// space runs short: under a limit on it, while a large file is read whole.
namespace PoolThreads {

// Makes all of the pool's threads now, while memory is free, and keeps them
// for the program's life, so none has to be made later.
void startAll(QThreadPool *pool);

} // namespace PoolThreads
