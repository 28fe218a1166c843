#pragma once

#include <QIcon>

// The seven images of the main window's command list, by index: 0 start the agent, 1 agent started (stop),
// 2 ping, 3 delete, 4 settings, 5 HTML export, 6 clear the log.
QIcon MainImage(int index);
inline constexpr int MainImageCount = 7;
