#pragma once

#include <QString>

#include <functional>

class QWidget;

// Installs the real message boxes behind the Notify hooks. While an error box is open, further errors go to
// the sink (the log window) instead of stacking another modal box inside it.
void InstallMessageBoxes(QWidget* parent);
void SetErrorOverflowSink(std::function<void(const QString&)> sink);
// True while an error box is on screen.
bool ErrorBoxOpen();
