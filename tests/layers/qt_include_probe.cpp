// Compiled with the program's own include paths, this must fail: Qt is
// private to the platform layer.
#include "common/globals.h"

#include <QWidget>
