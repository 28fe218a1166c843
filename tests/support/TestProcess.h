#pragma once

class QProcess;

// Ends a server a test started: asks it to stop, then kills it if it lingers.
void StopTestProcess(QProcess& process);
