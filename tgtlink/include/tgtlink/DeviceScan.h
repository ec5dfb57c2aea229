#pragma once

#include <QStringList>

// Port names with a handset plugged in, sorted. The serial and debug-host scans never open a port named in
// `exclude`.
QStringList UsbDeviceScan();
QStringList SerialDeviceScan(const QStringList &exclude);
QStringList DebugHostDeviceScan(const QStringList &exclude);
