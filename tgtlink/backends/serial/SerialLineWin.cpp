#include "SerialLine.h"

#include "tgtlink/TargetError.h"

#include <QFile>
#include <QSettings>
#include <QStringList>

#include <algorithm>

#include <windows.h>

namespace {

HANDLE handleOf(qintptr handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

// COM10 and above are reached only through the device namespace; the short names work there too.
QString devicePath(const QString &path)
{
    return path.startsWith(QLatin1String("\\\\.\\")) ? path : QStringLiteral("\\\\.\\") + path;
}

} // namespace

SerialLine::~SerialLine()
{
    close();
}

int SerialLine::open(const QString &path, int baud, QString *error)
{
    close();
    const QString device = devicePath(path);
    // No sharing: one connection per device, across processes and within one.
    HANDLE h = CreateFileW(reinterpret_cast<const wchar_t *>(device.utf16()), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (error)
            *error = code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION
                         ? QStringLiteral("%1 is in use or not a serial device").arg(path)
                         : QStringLiteral("%1: cannot be opened (error %2)").arg(path).arg(code);
        return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? TGT_ERR_NO_DEVICE : TGT_ERR_IO;
    }
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    bool ok = GetCommState(h, &dcb);
    if (ok) {
        // Raw 8N1 without flow control, as the termios side sets it up.
        dcb.BaudRate = DWORD(baud > 0 ? baud : 115200);
        dcb.ByteSize = 8;
        dcb.Parity = NOPARITY;
        dcb.StopBits = ONESTOPBIT;
        dcb.fBinary = TRUE;
        dcb.fParity = FALSE;
        dcb.fOutxCtsFlow = FALSE;
        dcb.fOutxDsrFlow = FALSE;
        dcb.fDtrControl = DTR_CONTROL_ENABLE;
        dcb.fRtsControl = RTS_CONTROL_ENABLE;
        dcb.fOutX = FALSE;
        dcb.fInX = FALSE;
        dcb.fNull = FALSE;
        dcb.fAbortOnError = FALSE;
        ok = SetCommState(h, &dcb);
    }
    if (!ok) {
        if (error)
            *error = QStringLiteral("%1: cannot set the line up").arg(path);
        CloseHandle(h);
        return TGT_ERR_IO;
    }
    PurgeComm(h, PURGE_RXCLEAR | PURGE_TXCLEAR);
    m_handle = reinterpret_cast<qintptr>(h);
    return TGT_OK;
}

void SerialLine::close()
{
    if (m_handle != -1)
        CloseHandle(handleOf(m_handle));
    m_handle = -1;
}

bool SerialLine::write(const QByteArray &bytes)
{
    if (m_handle == -1)
        return false;
    COMMTIMEOUTS timeouts = {};
    timeouts.WriteTotalTimeoutConstant = 1000;
    if (!SetCommTimeouts(handleOf(m_handle), &timeouts))
        return false;
    qsizetype done = 0;
    while (done < bytes.size()) {
        DWORD n = 0;
        if (!WriteFile(handleOf(m_handle), bytes.constData() + done, DWORD(bytes.size() - done), &n, nullptr) || n == 0)
            return false;
        done += qsizetype(n);
    }
    return true;
}

bool SerialLine::read(QByteArray &out, int timeoutMs)
{
    if (m_handle == -1)
        return false;
    // Returns as soon as a byte is there, or after `timeoutMs` with none.
    COMMTIMEOUTS timeouts = {};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
    timeouts.ReadTotalTimeoutConstant = DWORD(qMax(1, timeoutMs));
    if (!SetCommTimeouts(handleOf(m_handle), &timeouts))
        return false;
    char buffer[1024];
    DWORD n = 0;
    if (!ReadFile(handleOf(m_handle), buffer, sizeof buffer, &n, nullptr))
        return false; // the device is gone
    out.append(buffer, qsizetype(n));
    return true;
}

void SerialLine::discardInput()
{
    if (m_handle != -1)
        PurgeComm(handleOf(m_handle), PURGE_RXCLEAR);
}

QStringList SerialLine::present()
{
    // The ports the system has: values of the serial-device map in the registry ("COM3"…).
    QSettings map(QStringLiteral("HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM"), QSettings::NativeFormat);
    QStringList ports;
    for (const QString &key : map.allKeys())
        ports.append(map.value(key).toString());
    ports.removeAll(QString());
    std::sort(ports.begin(), ports.end(), [](const QString &a, const QString &b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b; // COM2 before COM10
    });
    return ports;
}

bool SerialLine::exists(const QString &path)
{
    if (QFile::exists(path))
        return true;
    const QString name = path.startsWith(QLatin1String("\\\\.\\")) ? path.mid(4) : path;
    wchar_t target[512];
    return QueryDosDeviceW(reinterpret_cast<const wchar_t *>(name.utf16()), target, 512) != 0;
}
