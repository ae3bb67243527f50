#pragma once

// Keeps Qt's global thread pool (which converts the images of large windows) to one thread
// that never expires. Qt's pool threads hand work over inside the uninstrumented Qt libraries,
// which the thread checker would otherwise report as races between them.
void useOneQtPoolThread();
