#pragma once

#include <QString>

class QIODevice;
class ToolSettings;

bool checkImei(QString &imei, bool verify);
QString adjustImei(const QString &imei, QIODevice *log = nullptr);
quint64 imeiNumberAfter(const QString &imei, int step);
void keepDigits(const QString &text, QString &digits, bool &clean);
void fitRight(QString &text, int width);
void fitLeft(QString &text, int width);
// 0 when the current identity set may be written; -1 with `label` naming the short identity; -2 when
// the Bluetooth address's first octet is odd (the address is then emptied).
int checkIdentityLengths(ToolSettings &settings, QString &label);
