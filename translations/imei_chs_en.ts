<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>BtAddress</name>
    <message>
        <source>a Bluetooth address has %1 hexadecimal digits, &quot;%2&quot; has %3 characters</source>
        <translation>a Bluetooth address has %1 hexadecimal digits, &quot;%2&quot; has %3 characters</translation>
    </message>
    <message>
        <source>a Bluetooth address holds hexadecimal digits only, &quot;%1&quot; does not</source>
        <translation>a Bluetooth address holds hexadecimal digits only, &quot;%1&quot; does not</translation>
    </message>
</context>
<context>
    <name>BtAddressGenerator</name>
    <message>
        <source>BT start address is wrong!</source>
        <translation>BT start address is wrong!</translation>
    </message>
    <message>
        <source>BT end address is wrong!</source>
        <translation>BT end address is wrong!</translation>
    </message>
    <message>
        <source>BT start address can&apos;t be larger than the end!</source>
        <translation>BT start address can&apos;t be larger than the end!</translation>
    </message>
    <message>
        <source>BT current value is beyond the address scope now!</source>
        <translation>BT current value is beyond the address scope now!</translation>
    </message>
    <message>
        <source>BT %1 has repeated with previous!</source>
        <translation>BT %1 has repeated with previous!</translation>
    </message>
    <message>
        <source>No BT address is handed out: %1</source>
        <translation>No BT address is handed out: %1</translation>
    </message>
    <message>
        <source>BT start address %1 has an odd first octet: it is a group address!</source>
        <translation>BT start address %1 has an odd first octet: it is a group address!</translation>
    </message>
</context>
<context>
    <name>BuildInfo</name>
    <message>
        <source>Package %1, build %2</source>
        <translation>Package %1, build %2</translation>
    </message>
</context>
<context>
    <name>DeviceBackend</name>
    <message>
        <source>device backend %1: no such file</source>
        <translation>device backend %1: no such file</translation>
    </message>
    <message>
        <source>device backend %1 cannot be loaded: %2</source>
        <translation>device backend %1 cannot be loaded: %2</translation>
    </message>
    <message>
        <source>device backend %1 is not a backend: it has no %2</source>
        <translation>device backend %1 is not a backend: it has no %2</translation>
    </message>
    <message>
        <source>device backend %1 gives no function table</source>
        <translation>device backend %1 gives no function table</translation>
    </message>
    <message>
        <source>device backend %1 has interface version %2.%3; this tool needs %4.x</source>
        <translation>device backend %1 has interface version %2.%3; this tool needs %4.x</translation>
    </message>
    <message>
        <source>device backend %1 has an incomplete function table</source>
        <translation>device backend %1 has an incomplete function table</translation>
    </message>
    <message>
        <source>device backend %1 did not start: %2</source>
        <translation>device backend %1 did not start: %2</translation>
    </message>
    <message>
        <source>device backend %1 %2 (%3)</source>
        <translation>device backend %1 %2 (%3)</translation>
    </message>
</context>
<context>
    <name>FPColorGraphicsView</name>
    <message>
        <source>Error!!</source>
        <translation>Error!!</translation>
    </message>
    <message>
        <source>Unmount</source>
        <translation>Unmount</translation>
    </message>
    <message>
        <source>Idle...</source>
        <translation>Idle...</translation>
    </message>
    <message>
        <source>Writting...</source>
        <translation>Writting...</translation>
    </message>
    <message>
        <source>Reading...</source>
        <translation>Reading...</translation>
    </message>
    <message>
        <source>Writting Finished!</source>
        <translation>Writting Finished!</translation>
    </message>
    <message>
        <source>Reading Finished!</source>
        <translation>Reading Finished!</translation>
    </message>
    <message>
        <source>Setting...</source>
        <translation>Setting...</translation>
    </message>
</context>
<context>
    <name>FPDoverARizMainWindow</name>
    <message>
        <source>Port</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>IMEI1</source>
        <translation>IMEI1</translation>
    </message>
    <message>
        <source>IMEI2</source>
        <translation>IMEI2</translation>
    </message>
    <message>
        <source>IMEI3</source>
        <translation>IMEI3</translation>
    </message>
    <message>
        <source>IMEI4</source>
        <translation>IMEI4</translation>
    </message>
    <message>
        <source>MBSN</source>
        <translation>MBSN</translation>
    </message>
    <message>
        <source>PSN</source>
        <translation>PSN</translation>
    </message>
    <message>
        <source>BT_Addr</source>
        <translation>BT_Addr</translation>
    </message>
    <message>
        <source>Total: 0</source>
        <translation>Total: 0</translation>
    </message>
    <message>
        <source>PASS: 0</source>
        <translation>PASS: 0</translation>
    </message>
    <message>
        <source>FAIL: 0</source>
        <translation>FAIL: 0</translation>
    </message>
    <message>
        <source>FPY: 0%</source>
        <translation>FPY: 0%</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Reset</translation>
    </message>
    <message>
        <source>Setup</source>
        <translation>Setup</translation>
    </message>
    <message>
        <source>Write</source>
        <translation>Write</translation>
    </message>
    <message>
        <source>Read</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>Tools</source>
        <translation>Tools</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>About</source>
        <translation>About</translation>
    </message>
    <message>
        <source>Unmount</source>
        <translation>Unmount</translation>
    </message>
    <message>
        <source>Port: (none)</source>
        <translation>Port: (none)</translation>
    </message>
    <message>
        <source>Port: %1</source>
        <translation>Port: %1</translation>
    </message>
    <message>
        <source>PASS: %1</source>
        <translation>PASS: %1</translation>
    </message>
    <message>
        <source>FAIL: %1</source>
        <translation>FAIL: %1</translation>
    </message>
    <message>
        <source>Total: %1</source>
        <translation>Total: %1</translation>
    </message>
    <message>
        <source>FPY: %1%</source>
        <translation>FPY: %1%</translation>
    </message>
    <message>
        <source> IMEI source:From excel file
	Path:%1
	Max limited number:%2</source>
        <translation> IMEI source:From excel file
	Path:%1
	Max limited number:%2</translation>
    </message>
    <message>
        <source> IMEI source:Custom</source>
        <translation> IMEI source:Custom</translation>
    </message>
    <message>
        <source>	Initial number:%1
	Mask:%2
	Max limited number:%3</source>
        <translation>	Initial number:%1
	Mask:%2
	Max limited number:%3</translation>
    </message>
    <message>
        <source>	The other IMEIs : None</source>
        <translation>	The other IMEIs : None</translation>
    </message>
    <message>
        <source>	The other IMEIs : Add 1 by the order</source>
        <translation>	The other IMEIs : Add 1 by the order</translation>
    </message>
    <message>
        <source>	The other IMEIs : Equal to the first</source>
        <translation>	The other IMEIs : Equal to the first</translation>
    </message>
    <message>
        <source>KVX IMEI Write tool %1</source>
        <translation>KVX IMEI Write tool %1</translation>
    </message>
    <message>
        <source>Chinese</source>
        <translation>Chinese</translation>
    </message>
    <message>
        <source>English</source>
        <translation>English</translation>
    </message>
    <message>
        <source>About IMEI Write tool</source>
        <translation>About IMEI Write tool</translation>
    </message>
    <message>
        <source>KVX imei write tool %1%2
Copyright (C) %3, all rights reserved.</source>
        <translation>KVX imei write tool %1%2
Copyright (C) %3, all rights reserved.</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>About KVX Write IMEI tool</source>
        <translation>About KVX Write IMEI tool</translation>
    </message>
    <message>
        <source>KVX Write IMEI tool %1%2
Copyright (C) %3, all rights reserved.</source>
        <translation>KVX Write IMEI tool %1%2
Copyright (C) %3, all rights reserved.</translation>
    </message>
    <message>
        <source>Close Confirmation?</source>
        <translation>Close Confirmation?</translation>
    </message>
    <message>
        <source>Are you sure you want to exit?</source>
        <translation>Are you sure you want to exit?</translation>
    </message>
    <message>
        <source>No PDF viewer was found to open the manual %1: there is no %2 beside the tool, and the desktop has no program for PDF files. Install a PDF viewer.</source>
        <translation>No PDF viewer was found to open the manual %1: there is no %2 beside the tool, and the desktop has no program for PDF files. Install a PDF viewer.</translation>
    </message>
    <message>
        <source>The manual %1 was not found in %2. Reinstall the tool, or put the manual there.</source>
        <translation>The manual %1 was not found in %2. Reinstall the tool, or put the manual there.</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>The settings file %1 cannot be used: %2.
It is left as it is, and Write stays disabled until the file is mended and the tool started again; Read works with the default settings.</source>
        <translation>The settings file %1 cannot be used: %2.
It is left as it is, and Write stays disabled until the file is mended and the tool started again; Read works with the default settings.</translation>
    </message>
    <message>
        <source>The settings could not be saved to %1: %2</source>
        <translation>The settings could not be saved to %1: %2</translation>
    </message>
</context>
<context>
    <name>FPDoverARizSettingDlg</name>
    <message>
        <source>Setup</source>
        <translation>Setup</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>USB</source>
        <translation>USB</translation>
    </message>
    <message>
        <source>COM</source>
        <translation>COM</translation>
    </message>
    <message>
        <source>Phase Check</source>
        <translation>Phase Check</translation>
    </message>
    <message>
        <source>Current Station</source>
        <translation>Current Station</translation>
    </message>
    <message>
        <source>Check Station</source>
        <translation>Check Station</translation>
    </message>
    <message>
        <source>Other</source>
        <translation>Other</translation>
    </message>
    <message>
        <source>InitializeFactoryData</source>
        <translation>InitializeFactoryData</translation>
    </message>
    <message>
        <source>CheckVersion</source>
        <translation>CheckVersion</translation>
    </message>
    <message>
        <source>FactoryReset</source>
        <translation>FactoryReset</translation>
    </message>
    <message>
        <source>IMEI</source>
        <translation>IMEI</translation>
    </message>
    <message>
        <source>Setting</source>
        <translation>Setting</translation>
    </message>
    <message>
        <source>ImeisNum</source>
        <translation>ImeisNum</translation>
    </message>
    <message>
        <source>CheckRepeat</source>
        <translation>CheckRepeat</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>Default</source>
        <translation>Default</translation>
    </message>
    <message>
        <source>  IMEI1(main)</source>
        <translation>  IMEI1(main)</translation>
    </message>
    <message>
        <source>ManulInput</source>
        <translation>ManulInput</translation>
    </message>
    <message>
        <source>DefaultValue</source>
        <translation>DefaultValue</translation>
    </message>
    <message>
        <source>     IMEI2</source>
        <translation>     IMEI2</translation>
    </message>
    <message>
        <source>AccumulationByStep</source>
        <translation>AccumulationByStep</translation>
    </message>
    <message>
        <source>    IMEI3</source>
        <translation>    IMEI3</translation>
    </message>
    <message>
        <source>   IMEI4</source>
        <translation>   IMEI4</translation>
    </message>
    <message>
        <source>Load From File</source>
        <translation>Load From File</translation>
    </message>
    <message>
        <source>Browse</source>
        <translation>Browse</translation>
    </message>
    <message>
        <source>Custom</source>
        <translation>Custom</translation>
    </message>
    <message>
        <source>Init Code</source>
        <translation>Init Code</translation>
    </message>
    <message>
        <source>Mask</source>
        <translation>Mask</translation>
    </message>
    <message>
        <source>Add 1(14th Digit)</source>
        <translation>Add 1(14th Digit)</translation>
    </message>
    <message>
        <source>Max limited number</source>
        <translation>Max limited number</translation>
    </message>
    <message>
        <source>DefaultIMEI</source>
        <translation>DefaultIMEI</translation>
    </message>
    <message>
        <source>MBSN</source>
        <translation>MBSN</translation>
    </message>
    <message>
        <source>Manul Input</source>
        <translation>Manul Input</translation>
    </message>
    <message>
        <source>Auto Generation</source>
        <translation>Auto Generation</translation>
    </message>
    <message>
        <source>PSN</source>
        <translation>PSN</translation>
    </message>
    <message>
        <source>AutoGeneration</source>
        <translation>AutoGeneration</translation>
    </message>
    <message>
        <source>BlueTooth</source>
        <translation>BlueTooth</translation>
    </message>
    <message>
        <source>ByTime</source>
        <translation>ByTime</translation>
    </message>
    <message>
        <source>ByAddress</source>
        <translation>ByAddress</translation>
    </message>
    <message>
        <source>EndAddress</source>
        <translation>EndAddress</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>BT start address can not be larger than the end!</source>
        <translation>BT start address can not be larger than the end!</translation>
    </message>
    <message>
        <source>Excel files (*.xls)</source>
        <translation>Excel files (*.xls)</translation>
    </message>
    <message>
        <source>Excel workbooks (*.xlsx)</source>
        <translation>Excel workbooks (*.xlsx)</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
    <message>
        <source>Select Excel File</source>
        <translation>Select Excel File</translation>
    </message>
    <message>
        <source>The initial IMEI number %1 must be digits!</source>
        <translation>The initial IMEI number %1 must be digits!</translation>
    </message>
</context>
<context>
    <name>FPDoverARizWorker</name>
    <message>
        <source>Stop ...</source>
        <translation>Stop ...</translation>
    </message>
    <message>
        <source>Stop exited</source>
        <translation>Stop exited</translation>
    </message>
    <message>
        <source>Unable to open port %1: no handset answers there, or the port is in use</source>
        <translation>Unable to open port %1: no handset answers there, or the port is in use</translation>
    </message>
    <message>
        <source>Unable to prepare the handset on port %1: %2</source>
        <translation>Unable to prepare the handset on port %1: %2</translation>
    </message>
    <message>
        <source>Close port %1</source>
        <translation>Close port %1</translation>
    </message>
    <message>
        <source>Init flash information ...</source>
        <translation>Init flash information ...</translation>
    </message>
    <message>
        <source>Check flags failed!</source>
        <translation>Check flags failed!</translation>
    </message>
    <message>
        <source>Read cycle: the factory data is not initialised</source>
        <translation>Read cycle: the factory data is not initialised</translation>
    </message>
    <message>
        <source>Read cycle: the factory reset is skipped</source>
        <translation>Read cycle: the factory reset is skipped</translation>
    </message>
    <message>
        <source>Unable to get flash info from device: %1</source>
        <translation>Unable to get flash info from device: %1</translation>
    </message>
    <message>
        <source>Flash model is unknown</source>
        <translation>Flash model is unknown</translation>
    </message>
    <message>
        <source>Factory base and size are unknown</source>
        <translation>Factory base and size are unknown</translation>
    </message>
    <message>
        <source>Unable to get chip ID: %1</source>
        <translation>Unable to get chip ID: %1</translation>
    </message>
    <message>
        <source>Unsupported chip</source>
        <translation>Unsupported chip</translation>
    </message>
    <message>
        <source>Unable to determine ramrun lod file name</source>
        <translation>Unable to determine ramrun lod file name</translation>
    </message>
    <message>
        <source>Ramrun lod file %1 not exist</source>
        <translation>Ramrun lod file %1 not exist</translation>
    </message>
    <message>
        <source>Unable to load ramrun lod file %1</source>
        <translation>Unable to load ramrun lod file %1</translation>
    </message>
    <message>
        <source>Begin to read information from flash ...</source>
        <translation>Begin to read information from flash ...</translation>
    </message>
    <message>
        <source>Invalid station setting magic</source>
        <translation>Invalid station setting magic</translation>
    </message>
    <message>
        <source>Failed to read factory data from device: %1</source>
        <translation>Failed to read factory data from device: %1</translation>
    </message>
    <message>
        <source>Check flags ...</source>
        <translation>Check flags ...</translation>
    </message>
    <message>
        <source>Failed to check station!</source>
        <translation>Failed to check station!</translation>
    </message>
    <message>
        <source>Missing station: %1!</source>
        <translation>Missing station: %1!</translation>
    </message>
    <message>
        <source>Failed station: %1!</source>
        <translation>Failed station: %1!</translation>
    </message>
    <message>
        <source>Init factory data ...</source>
        <translation>Init factory data ...</translation>
    </message>
    <message>
        <source>FactoryReset ...</source>
        <translation>FactoryReset ...</translation>
    </message>
    <message>
        <source>Programmer is nullptr</source>
        <translation>Programmer is nullptr</translation>
    </message>
    <message>
        <source>The address of user data is invalid</source>
        <translation>The address of user data is invalid</translation>
    </message>
    <message>
        <source>Factory reset successfully!</source>
        <translation>Factory reset successfully!</translation>
    </message>
    <message>
        <source>Factory reset failed!</source>
        <translation>Factory reset failed!</translation>
    </message>
    <message>
        <source>Write flag ...</source>
        <translation>Write flag ...</translation>
    </message>
    <message>
        <source>Failed to write station flag %1: %2</source>
        <translation>Failed to write station flag %1: %2</translation>
    </message>
    <message>
        <source>Failed to update factory data</source>
        <translation>Failed to update factory data</translation>
    </message>
    <message>
        <source>Failed to get version!</source>
        <translation>Failed to get version!</translation>
    </message>
    <message>
        <source>The version does not match, its value is %1 in flash !</source>
        <translation>The version does not match, its value is %1 in flash !</translation>
    </message>
    <message>
        <source>Version checking successful!</source>
        <translation>Version checking successful!</translation>
    </message>
    <message>
        <source>Writing station is  failed!</source>
        <translation>Writing station is  failed!</translation>
    </message>
    <message>
        <source>IMEI%1 is invalid,you can use %2,please check!</source>
        <translation>IMEI%1 is invalid,you can use %2,please check!</translation>
    </message>
    <message>
        <source>Set IMEI%1 failed!</source>
        <translation>Set IMEI%1 failed!</translation>
    </message>
    <message>
        <source>Unable to record the IMEIs in %1; the handset is not written</source>
        <translation>Unable to record the IMEIs in %1; the handset is not written</translation>
    </message>
    <message>
        <source>write MBSN error!</source>
        <translation>write MBSN error!</translation>
    </message>
    <message>
        <source>write PSN error!</source>
        <translation>write PSN error!</translation>
    </message>
    <message>
        <source>write BT error!</source>
        <translation>write BT error!</translation>
    </message>
    <message>
        <source>Unable to record %1 in %2; the handset is not written</source>
        <translation>Unable to record %1 in %2; the handset is not written</translation>
    </message>
    <message>
        <source>Writing data to flash...</source>
        <translation>Writing data to flash...</translation>
    </message>
    <message>
        <source>Writing is  failed!</source>
        <translation>Writing is  failed!</translation>
    </message>
    <message>
        <source>Writing is successful.</source>
        <translation>Writing is successful.</translation>
    </message>
    <message>
        <source>Already issued on the line, the handset is not written: %1</source>
        <translation>Already issued on the line, the handset is not written: %1</translation>
    </message>
    <message>
        <source>The handset is written; the line&apos;s ledger will be told at the next write: %1</source>
        <translation>The handset is written; the line&apos;s ledger will be told at the next write: %1</translation>
    </message>
    <message>
        <source>Nothing is written while the histories cannot be read: %1</source>
        <translation>Nothing is written while the histories cannot be read: %1</translation>
    </message>
    <message>
        <source>The RAM-run image %1 is not a regular file</source>
        <translation>The RAM-run image %1 is not a regular file</translation>
    </message>
    <message>
        <source>%1 recorded in the history and not written: not handed out again.</source>
        <translation>%1 recorded in the history and not written: not handed out again.</translation>
    </message>
</context>
<context>
    <name>HistoryFile</name>
    <message>
        <source>%1 is %2, not a regular file</source>
        <translation>%1 is %2, not a regular file</translation>
    </message>
    <message>
        <source>a symbolic link</source>
        <translation>a symbolic link</translation>
    </message>
    <message>
        <source>a directory</source>
        <translation>a directory</translation>
    </message>
    <message>
        <source>a FIFO</source>
        <translation>a FIFO</translation>
    </message>
    <message>
        <source>a device</source>
        <translation>a device</translation>
    </message>
    <message>
        <source>a special file</source>
        <translation>a special file</translation>
    </message>
    <message>
        <source>%1 cannot be opened: %2</source>
        <translation>%1 cannot be opened: %2</translation>
    </message>
    <message>
        <source>%1 could not be read to its end: %2</source>
        <translation>%1 could not be read to its end: %2</translation>
    </message>
</context>
<context>
    <name>HistoryImport</name>
    <message>
        <source>Nothing imported: %1</source>
        <translation>Nothing imported: %1</translation>
    </message>
    <message>
        <source>IMEI record %1: &quot;%2&quot; is not an IMEI, left out.</source>
        <translation>IMEI record %1: &quot;%2&quot; is not an IMEI, left out.</translation>
    </message>
    <message>
        <source>%1 history line %2: &quot;%3&quot; is not an identity of its kind, left out.</source>
        <translation>%1 history line %2: &quot;%3&quot; is not an identity of its kind, left out.</translation>
    </message>
    <message>
        <source>No history files in %1.</source>
        <translation>No history files in %1.</translation>
    </message>
    <message>
        <source>The import needs the station&apos;s name.</source>
        <translation>The import needs the station&apos;s name.</translation>
    </message>
</context>
<context>
    <name>IdentityAllocator</name>
    <message>
        <source>The counters could not be saved to %1, so no identity is handed out!</source>
        <translation>The counters could not be saved to %1, so no identity is handed out!</translation>
    </message>
    <message>
        <source>the custom source</source>
        <translation>the custom source</translation>
    </message>
    <message>
        <source>the excel file</source>
        <translation>the excel file</translation>
    </message>
    <message>
        <source>%1 from %2 are not checked against the history: the next start begins again at the first value!</source>
        <translation>%1 from %2 are not checked against the history: the next start begins again at the first value!</translation>
    </message>
    <message>
        <source>Import MBSN from excel file failed! %1</source>
        <translation>Import MBSN from excel file failed! %1</translation>
    </message>
    <message>
        <source>Import PSN from excel file failed!</source>
        <translation>Import PSN from excel file failed!</translation>
    </message>
    <message>
        <source>Custom MBSN  failed!!</source>
        <translation>Custom MBSN  failed!!</translation>
    </message>
    <message>
        <source>Custom PSN  failed!</source>
        <translation>Custom PSN  failed!</translation>
    </message>
    <message>
        <source>AutoGenerate MBSN  failed!!</source>
        <translation>AutoGenerate MBSN  failed!!</translation>
    </message>
    <message>
        <source>AutoGenerate PSN  failed!!</source>
        <translation>AutoGenerate PSN  failed!!</translation>
    </message>
    <message>
        <source>MBSNs</source>
        <translation>MBSNs</translation>
    </message>
    <message>
        <source>PSNs</source>
        <translation>PSNs</translation>
    </message>
    <message>
        <source>Import IMEI from excel file failed!</source>
        <translation>Import IMEI from excel file failed!</translation>
    </message>
    <message>
        <source>Custom IMEI failed!</source>
        <translation>Custom IMEI failed!</translation>
    </message>
    <message>
        <source>IMEIs</source>
        <translation>IMEIs</translation>
    </message>
    <message>
        <source>AutoGenerate BT  failed!!</source>
        <translation>AutoGenerate BT  failed!!</translation>
    </message>
    <message>
        <source>All of IMEIs have written to flash,It&apos;s finished!</source>
        <translation>All of IMEIs have written to flash,It&apos;s finished!</translation>
    </message>
    <message>
        <source>No imeis can be written!</source>
        <translation>No imeis can be written!</translation>
    </message>
    <message>
        <source>All of MBSNs have written to flash,It&apos;s finished!</source>
        <translation>All of MBSNs have written to flash,It&apos;s finished!</translation>
    </message>
    <message>
        <source>All of PSNs have written to flash,It&apos;s finished!</source>
        <translation>All of PSNs have written to flash,It&apos;s finished!</translation>
    </message>
    <message>
        <source>No MBSN can be written!</source>
        <translation>No MBSN can be written!</translation>
    </message>
    <message>
        <source>No PSN can be written!</source>
        <translation>No PSN can be written!</translation>
    </message>
    <message>
        <source>No BT can be written!</source>
        <translation>No BT can be written!</translation>
    </message>
    <message>
        <source>%1 %2 was not written and is not handed out again.</source>
        <translation>%1 %2 was not written and is not handed out again.</translation>
    </message>
    <message>
        <source>IMEI %1 was not written and is not handed out again.</source>
        <translation>IMEI %1 was not written and is not handed out again.</translation>
    </message>
</context>
<context>
    <name>IdentityChecks</name>
    <message>
        <source>IMEI%1 is invalid,you can use %2</source>
        <translation>IMEI%1 is invalid,you can use %2</translation>
    </message>
    <message>
        <source>IMEI%1 can not be same as previous IMEI</source>
        <translation>IMEI%1 can not be same as previous IMEI</translation>
    </message>
    <message>
        <source>The length of IMEI%1 is not enough!</source>
        <translation>The length of IMEI%1 is not enough!</translation>
    </message>
    <message>
        <source>IMEI%1 has repeated with previous IMEI</source>
        <translation>IMEI%1 has repeated with previous IMEI</translation>
    </message>
    <message>
        <source>The length of MBSN is not enough!</source>
        <translation>The length of MBSN is not enough!</translation>
    </message>
    <message>
        <source>The length of PSN is not enough!</source>
        <translation>The length of PSN is not enough!</translation>
    </message>
    <message>
        <source>MBSN is invalid!</source>
        <translation>MBSN is invalid!</translation>
    </message>
    <message>
        <source>PSN is invalid!</source>
        <translation>PSN is invalid!</translation>
    </message>
    <message>
        <source>MBSN has repeated with previous!</source>
        <translation>MBSN has repeated with previous!</translation>
    </message>
    <message>
        <source>PSN has repeated with previous!</source>
        <translation>PSN has repeated with previous!</translation>
    </message>
    <message>
        <source>The length of BT is not enough!</source>
        <translation>The length of BT is not enough!</translation>
    </message>
    <message>
        <source>BT has repeated with previous!</source>
        <translation>BT has repeated with previous!</translation>
    </message>
    <message>
        <source>Warning: the length of IMEI%1 is overweight!</source>
        <translation>Warning: the length of IMEI%1 is overweight!</translation>
    </message>
    <message>
        <source>No default IMEI is handed out: %1</source>
        <translation>No default IMEI is handed out: %1</translation>
    </message>
    <message>
        <source>BT is invalid!</source>
        <translation>BT is invalid!</translation>
    </message>
    <message>
        <source>No default IMEI is handed out: ImeiDefaultValue in %1 is not 15 digits (&quot;%2&quot;); set it in the Setup dialog</source>
        <translation>No default IMEI is handed out: ImeiDefaultValue in %1 is not 15 digits (&quot;%2&quot;); set it in the Setup dialog</translation>
    </message>
    <message>
        <source>No default IMEI is handed out: the default IMEI counter is at the end of type allocation code %1; set ImeiDefaultValue to a new code</source>
        <translation>No default IMEI is handed out: the default IMEI counter is at the end of type allocation code %1; set ImeiDefaultValue to a new code</translation>
    </message>
    <message>
        <source>IMEI%1 is not handed out: the step from %2 leaves type allocation code %3</source>
        <translation>IMEI%1 is not handed out: the step from %2 leaves type allocation code %3</translation>
    </message>
</context>
<context>
    <name>IdentityGate</name>
    <message>
        <source>IMEI%1 is not written: %2</source>
        <translation>IMEI%1 is not written: %2</translation>
    </message>
    <message>
        <source>IMEI%1 %2 is not written: another IMEI of the set is the same</source>
        <translation>IMEI%1 %2 is not written: another IMEI of the set is the same</translation>
    </message>
    <message>
        <source>IMEI%1 %2 is not written: it was issued already</source>
        <translation>IMEI%1 %2 is not written: it was issued already</translation>
    </message>
    <message>
        <source>%1 is not written: %2</source>
        <translation>%1 is not written: %2</translation>
    </message>
    <message>
        <source>%1 %2 is not written: it was issued already</source>
        <translation>%1 %2 is not written: it was issued already</translation>
    </message>
    <message>
        <source>BT is not written: %1</source>
        <translation>BT is not written: %1</translation>
    </message>
    <message>
        <source>BT %1 is not written: its first octet is odd</source>
        <translation>BT %1 is not written: its first octet is odd</translation>
    </message>
    <message>
        <source>BT %1 is not written: it was issued already</source>
        <translation>BT %1 is not written: it was issued already</translation>
    </message>
</context>
<context>
    <name>IdentityInputController</name>
    <message>
        <source>Start Address is error!</source>
        <translation>Start Address is error!</translation>
    </message>
    <message>
        <source>IMEI1 is repeated with the previous!</source>
        <translation>IMEI1 is repeated with the previous!</translation>
    </message>
    <message>
        <source>IMEI2 is repeated with the previous!</source>
        <translation>IMEI2 is repeated with the previous!</translation>
    </message>
    <message>
        <source>IMEI3 is repeated with the previous!</source>
        <translation>IMEI3 is repeated with the previous!</translation>
    </message>
    <message>
        <source>IMEI4 is repeated with the previous!</source>
        <translation>IMEI4 is repeated with the previous!</translation>
    </message>
    <message>
        <source>Bluetooth is repeated with previous!</source>
        <translation>Bluetooth is repeated with previous!</translation>
    </message>
    <message>
        <source>MBSN is invalid</source>
        <translation>MBSN is invalid</translation>
    </message>
    <message>
        <source>PSN is invalid</source>
        <translation>PSN is invalid</translation>
    </message>
    <message>
        <source>MBSN is repeated with prev</source>
        <translation>MBSN is repeated with prev</translation>
    </message>
    <message>
        <source>PSN is repeated with prev</source>
        <translation>PSN is repeated with prev</translation>
    </message>
    <message>
        <source>IMEI%1 value is empty !</source>
        <translation>IMEI%1 value is empty !</translation>
    </message>
    <message>
        <source>MBSN value is empty !</source>
        <translation>MBSN value is empty !</translation>
    </message>
    <message>
        <source>PSN value is empty !</source>
        <translation>PSN value is empty !</translation>
    </message>
    <message>
        <source>BT value is empty !</source>
        <translation>BT value is empty !</translation>
    </message>
</context>
<context>
    <name>Imei</name>
    <message>
        <source>an IMEI has %1 digits, &quot;%2&quot; has %3 characters</source>
        <translation>an IMEI has %1 digits, &quot;%2&quot; has %3 characters</translation>
    </message>
    <message>
        <source>an IMEI holds digits only, &quot;%1&quot; does not</source>
        <translation>an IMEI holds digits only, &quot;%1&quot; does not</translation>
    </message>
</context>
<context>
    <name>ImeiPoolGenerator</name>
    <message>
        <source>The custom part of IMEI must be digits!</source>
        <translation>The custom part of IMEI must be digits!</translation>
    </message>
    <message>
        <source>The initial IMEI number (ImeiInitNum14) must be digits: %1</source>
        <translation>The initial IMEI number (ImeiInitNum14) must be digits: %1</translation>
    </message>
</context>
<context>
    <name>Ledger</name>
    <message>
        <source>%1 %2 is held by station %3 since %4 (%5).</source>
        <translation>%1 %2 is held by station %3 since %4 (%5).</translation>
    </message>
    <message>
        <source>The line&apos;s configuration names no station.</source>
        <translation>The line&apos;s configuration names no station.</translation>
    </message>
    <message>
        <source>The ledger holds no claim %1.</source>
        <translation>The ledger holds no claim %1.</translation>
    </message>
    <message>
        <source>Claim %1 of the ledger is not this station&apos;s to mark.</source>
        <translation>Claim %1 of the ledger is not this station&apos;s to mark.</translation>
    </message>
    <message>
        <source>Not an identity kind of the ledger: %1.</source>
        <translation>Not an identity kind of the ledger: %1.</translation>
    </message>
    <message>
        <source>Not a counter block: %1 from %2 to %3, %4 at a time.</source>
        <translation>Not a counter block: %1 from %2 to %3, %4 at a time.</translation>
    </message>
    <message>
        <source>The shared counter %1 is used up.</source>
        <translation>The shared counter %1 is used up.</translation>
    </message>
    <message>
        <source>No identities to record in the ledger.</source>
        <translation>No identities to record in the ledger.</translation>
    </message>
    <message>
        <source>Not an identity for the ledger: kind %1, &quot;%2&quot;.</source>
        <translation>Not an identity for the ledger: kind %1, &quot;%2&quot;.</translation>
    </message>
    <message>
        <source>The ledger binds role %1 to no station, so station %2 may not claim: the ledger&apos;s owner binds it with &quot;ledger add-station %1 --station %2&quot;.</source>
        <translation>The ledger binds role %1 to no station, so station %2 may not claim: the ledger&apos;s owner binds it with &quot;ledger add-station %1 --station %2&quot;.</translation>
    </message>
    <message>
        <source>The ledger binds role %1 to station %2, but this station calls itself %3 (Station= of the line&apos;s file): one of them is wrong.</source>
        <translation>The ledger binds role %1 to station %2, but this station calls itself %3 (Station= of the line&apos;s file): one of them is wrong.</translation>
    </message>
    <message>
        <source>the wait for it was stopped</source>
        <translation>the wait for it was stopped</translation>
    </message>
    <message>
        <source>The line&apos;s ledger has no shared counter %1: its owner adds it with &quot;ledger add-counter %2&quot;.</source>
        <translation>The line&apos;s ledger has no shared counter %1: its owner adds it with &quot;ledger add-counter %2&quot;.</translation>
    </message>
</context>
<context>
    <name>LedgerConnection</name>
    <message>
        <source>The ledger&apos;s connection text cannot be read.</source>
        <translation>The ledger&apos;s connection text cannot be read.</translation>
    </message>
    <message>
        <source>The ledger did not answer within %1 s.</source>
        <translation>The ledger did not answer within %1 s.</translation>
    </message>
    <message>
        <source>The ledger&apos;s server kept the change, but warned: %1</source>
        <translation>The ledger&apos;s server kept the change, but warned: %1</translation>
    </message>
</context>
<context>
    <name>LedgerCounterBlocks</name>
    <message>
        <source>the line&apos;s ledger cannot be reached for a block of the shared counter %1 (%2).</source>
        <translation>the line&apos;s ledger cannot be reached for a block of the shared counter %1 (%2).</translation>
    </message>
    <message>
        <source>no block of the shared counter %1 can be taken from the line&apos;s ledger: %2</source>
        <translation>no block of the shared counter %1 can be taken from the line&apos;s ledger: %2</translation>
    </message>
    <message>
        <source>the wait for a block of the shared counter %1 was stopped.</source>
        <translation>the wait for a block of the shared counter %1 was stopped.</translation>
    </message>
</context>
<context>
    <name>LedgerIdentityClaims</name>
    <message>
        <source>The line&apos;s ledger cannot be reached (%1): nothing is written until it is back.</source>
        <translation>The line&apos;s ledger cannot be reached (%1): nothing is written until it is back.</translation>
    </message>
    <message>
        <source>The line&apos;s ledger refuses: %1</source>
        <translation>The line&apos;s ledger refuses: %1</translation>
    </message>
    <message>
        <source>Not in the line&apos;s ledger: %1.</source>
        <translation>Not in the line&apos;s ledger: %1.</translation>
    </message>
</context>
<context>
    <name>LedgerIssuedIdentities</name>
    <message>
        <source>The line&apos;s ledger cannot answer (%1): only this station&apos;s history is asked, and nothing is written until the ledger is back.</source>
        <translation>The line&apos;s ledger cannot answer (%1): only this station&apos;s history is asked, and nothing is written until the ledger is back.</translation>
    </message>
</context>
<context>
    <name>LedgerPools</name>
    <message>
        <source>The pool %1 holds no value.</source>
        <translation>The pool %1 holds no value.</translation>
    </message>
    <message>
        <source>A pool is named with letters, digits, &apos;_&apos; or &apos;-&apos; (at most 63), and holds IMEI sets, MBSN or PSN values: &quot;%1&quot;.</source>
        <translation>A pool is named with letters, digits, &apos;_&apos; or &apos;-&apos; (at most 63), and holds IMEI sets, MBSN or PSN values: &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>The pool %1 holds other values already, and a pool never changes: add these under another name.</source>
        <translation>The pool %1 holds other values already, and a pool never changes: add these under another name.</translation>
    </message>
    <message>
        <source>%1 %2 lies in the pool %3 already: a value counts in one pool only.</source>
        <translation>%1 %2 lies in the pool %3 already: a value counts in one pool only.</translation>
    </message>
</context>
<context>
    <name>LedgerReports</name>
    <message>
        <source>%1: %2 imported from the history of station %3 (set %4).</source>
        <translation>%1: %2 imported from the history of station %3 (set %4).</translation>
    </message>
    <message>
        <source>%1: %2 claimed by %3 (set %4).</source>
        <translation>%1: %2 claimed by %3 (set %4).</translation>
    </message>
    <message>
        <source>%1: %2 written into the handset.</source>
        <translation>%1: %2 written into the handset.</translation>
    </message>
    <message>
        <source>%1: never marked written: the handset was not saved, or its station lost the ledger before it could say so. The identity stays taken.</source>
        <translation>%1: never marked written: the handset was not saved, or its station lost the ledger before it could say so. The identity stays taken.</translation>
    </message>
    <message>
        <source>%1: in one set with %2.</source>
        <translation>%1: in one set with %2.</translation>
    </message>
    <message>
        <source>%1: %2 confirmed by a read on %3.</source>
        <translation>%1: %2 confirmed by a read on %3.</translation>
    </message>
    <message>
        <source>The export could not be written: %1</source>
        <translation>The export could not be written: %1</translation>
    </message>
    <message>
        <source>station %1</source>
        <translation>station %1</translation>
    </message>
    <message>
        <source>, port %1</source>
        <translation>, port %1</translation>
    </message>
    <message>
        <source>, chip %1</source>
        <translation>, chip %1</translation>
    </message>
</context>
<context>
    <name>LedgerSchema</name>
    <message>
        <source>The ledger&apos;s schema version is unreadable: &quot;%1&quot;.</source>
        <translation>The ledger&apos;s schema version is unreadable: &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>The database holds no ledger: create it with &quot;ledger create-schema&quot;.</source>
        <translation>The database holds no ledger: create it with &quot;ledger create-schema&quot;.</translation>
    </message>
    <message>
        <source>The ledger&apos;s schema is at version %1, this program needs version %2: bring it up to date with &quot;ledger create-schema&quot;.</source>
        <translation>The ledger&apos;s schema is at version %1, this program needs version %2: bring it up to date with &quot;ledger create-schema&quot;.</translation>
    </message>
    <message>
        <source>The ledger&apos;s schema is at version %1, newer than this program knows (%2): update the station.</source>
        <translation>The ledger&apos;s schema is at version %1, newer than this program knows (%2): update the station.</translation>
    </message>
    <message>
        <source>The ledger&apos;s schema is at version %1, newer than this program knows (%2).</source>
        <translation>The ledger&apos;s schema is at version %1, newer than this program knows (%2).</translation>
    </message>
    <message>
        <source>The database holds no ledger: create it first.</source>
        <translation>The database holds no ledger: create it first.</translation>
    </message>
    <message>
        <source>pid %1</source>
        <translation>pid %1</translation>
    </message>
    <message>
        <source>, role %1</source>
        <translation>, role %1</translation>
    </message>
    <message>
        <source>, application &quot;%1&quot;</source>
        <translation>, application &quot;%1&quot;</translation>
    </message>
    <message>
        <source>Another session holds the ledger&apos;s locks, so its schema is left as it was; try again.</source>
        <translation>Another session holds the ledger&apos;s locks, so its schema is left as it was; try again.</translation>
    </message>
    <message>
        <source>Another session holds the ledger&apos;s locks, so its schema is left as it was: %1. Try again when it has ended, or end it (pg_terminate_backend).</source>
        <translation>Another session holds the ledger&apos;s locks, so its schema is left as it was: %1. Try again when it has ended, or end it (pg_terminate_backend).</translation>
    </message>
    <message>
        <source>The stations&apos; role needs a name of letters, digits, &apos;_&apos; or &apos;-&apos; (at most 63): &quot;%1&quot;.</source>
        <translation>The stations&apos; role needs a name of letters, digits, &apos;_&apos; or &apos;-&apos; (at most 63): &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>Role and station names are letters, digits, &apos;_&apos; or &apos;-&apos; (at most 63): &quot;%1&quot;.</source>
        <translation>Role and station names are letters, digits, &apos;_&apos; or &apos;-&apos; (at most 63): &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>The ledger&apos;s schema is not at version %1: bring it up to date with &quot;ledger create-schema&quot; first.</source>
        <translation>The ledger&apos;s schema is not at version %1: bring it up to date with &quot;ledger create-schema&quot; first.</translation>
    </message>
    <message>
        <source>Station %1 is bound to role %2 already.</source>
        <translation>Station %1 is bound to role %2 already.</translation>
    </message>
    <message>
        <source>A reader&apos;s role is named with letters, digits, &apos;_&apos; or &apos;-&apos; (at most 63), and is not %1: &quot;%2&quot;.</source>
        <translation>A reader&apos;s role is named with letters, digits, &apos;_&apos; or &apos;-&apos; (at most 63), and is not %1: &quot;%2&quot;.</translation>
    </message>
    <message>
        <source>Role %1 is a station or a superuser; a reader needs a role of its own.</source>
        <translation>Role %1 is a station or a superuser; a reader needs a role of its own.</translation>
    </message>
    <message>
        <source>The shared counter %1 runs from %2 to %3 already, and a counter keeps its range.</source>
        <translation>The shared counter %1 runs from %2 to %3 already, and a counter keeps its range.</translation>
    </message>
    <message>
        <source>The shared counter %1 cannot run from %2 to %3 in blocks of %4: its name stands for other values.</source>
        <translation>The shared counter %1 cannot run from %2 to %3 in blocks of %4: its name stands for other values.</translation>
    </message>
</context>
<context>
    <name>LineConfig</name>
    <message>
        <source>%1 cannot be read: %2</source>
        <translation>%1 cannot be read: %2</translation>
    </message>
    <message>
        <source>%1, line %2: not a key=value line.</source>
        <translation>%1, line %2: not a key=value line.</translation>
    </message>
    <message>
        <source>%1, line %2: SharedCounters is true or false, not &quot;%3&quot;.</source>
        <translation>%1, line %2: SharedCounters is true or false, not &quot;%3&quot;.</translation>
    </message>
    <message>
        <source>%1, line %2: CounterBlock is a number from 1 to 1000000, not &quot;%3&quot;.</source>
        <translation>%1, line %2: CounterBlock is a number from 1 to 1000000, not &quot;%3&quot;.</translation>
    </message>
    <message>
        <source>%1, line %2: unknown key &quot;%3&quot;.</source>
        <translation>%1, line %2: unknown key &quot;%3&quot;.</translation>
    </message>
    <message>
        <source>%1: the line&apos;s ledger needs this station&apos;s name (Station=).</source>
        <translation>%1: the line&apos;s ledger needs this station&apos;s name (Station=).</translation>
    </message>
    <message>
        <source>%1 is not a regular file.</source>
        <translation>%1 is not a regular file.</translation>
    </message>
    <message>
        <source>%1 is larger than %2 bytes.</source>
        <translation>%1 is larger than %2 bytes.</translation>
    </message>
    <message>
        <source>%1 configures no ledger: it needs a [Ledger] section with Connection=. Remove the file for a station that works alone.</source>
        <translation>%1 configures no ledger: it needs a [Ledger] section with Connection=. Remove the file for a station that works alone.</translation>
    </message>
    <message>
        <source>The ledger&apos;s connection text in %1 cannot be read.</source>
        <translation>The ledger&apos;s connection text in %1 cannot be read.</translation>
    </message>
    <message>
        <source>The ledger&apos;s connection text in %1 holds a password: keep it in the password file (~/.pgpass) or a service file instead.</source>
        <translation>The ledger&apos;s connection text in %1 holds a password: keep it in the password file (~/.pgpass) or a service file instead.</translation>
    </message>
    <message>
        <source>%1, line %2: %3 is a number of seconds from 1 to 3600, not &quot;%4&quot;.</source>
        <translation>%1, line %2: %3 is a number of seconds from 1 to 3600, not &quot;%4&quot;.</translation>
    </message>
    <message>
        <source>%1: Station= is letters, digits, &apos;_&apos; or &apos;-&apos; (at most 63), as the ledger binds it.</source>
        <translation>%1: Station= is letters, digits, &apos;_&apos; or &apos;-&apos; (at most 63), as the ledger binds it.</translation>
    </message>
</context>
<context>
    <name>LineLedger</name>
    <message>
        <source>The line&apos;s configuration cannot be used, so nothing is written: %1</source>
        <translation>The line&apos;s configuration cannot be used, so nothing is written: %1</translation>
    </message>
    <message>
        <source>Station %1 claims every identity in the line&apos;s ledger (schema version %2).</source>
        <translation>Station %1 claims every identity in the line&apos;s ledger (schema version %2).</translation>
    </message>
    <message>
        <source>The line&apos;s ledger cannot be reached (%1): nothing is written until it is back.</source>
        <translation>The line&apos;s ledger cannot be reached (%1): nothing is written until it is back.</translation>
    </message>
    <message>
        <source>The line&apos;s ledger cannot be used, so nothing is written: %1</source>
        <translation>The line&apos;s ledger cannot be used, so nothing is written: %1</translation>
    </message>
</context>
<context>
    <name>SerialGenerator</name>
    <message>
        <source>The custom part of MBSN must be digits or letters!</source>
        <translation>The custom part of MBSN must be digits or letters!</translation>
    </message>
    <message>
        <source>The custom part of PSN must be digits or letters!</source>
        <translation>The custom part of PSN must be digits or letters!</translation>
    </message>
    <message>
        <source>MBSN has repeated with previous!</source>
        <translation>MBSN has repeated with previous!</translation>
    </message>
    <message>
        <source>PSN has repeated with previous!</source>
        <translation>PSN has repeated with previous!</translation>
    </message>
</context>
<context>
    <name>SerialNumber</name>
    <message>
        <source>a serial number cannot be empty</source>
        <translation>a serial number cannot be empty</translation>
    </message>
    <message>
        <source>a serial number has at most %1 characters, &quot;%2&quot; has %3</source>
        <translation>a serial number has at most %1 characters, &quot;%2&quot; has %3</translation>
    </message>
    <message>
        <source>a serial number cannot hold &quot;#&quot;: &quot;%1&quot;</source>
        <translation>a serial number cannot hold &quot;#&quot;: &quot;%1&quot;</translation>
    </message>
    <message>
        <source>a serial number holds visible ASCII characters only, without blanks: &quot;%1&quot;</source>
        <translation>a serial number holds visible ASCII characters only, without blanks: &quot;%1&quot;</translation>
    </message>
</context>
<context>
    <name>SharedCounter</name>
    <message>
        <source>the ledger handed out %1 to %2 for %3, outside the range this station is set up for: refused.</source>
        <translation>the ledger handed out %1 to %2 for %3, outside the range this station is set up for: refused.</translation>
    </message>
</context>
<context>
    <name>SheetImport</name>
    <message>
        <source>The source file does not exist!</source>
        <translation>The source file does not exist!</translation>
    </message>
    <message>
        <source>Read excel file error!</source>
        <translation>Read excel file error!</translation>
    </message>
    <message>
        <source>Not find the string sheet in the excel file!</source>
        <translation>Not find the string sheet in the excel file!</translation>
    </message>
    <message>
        <source>Empty file or the format of file is error!</source>
        <translation>Empty file or the format of file is error!</translation>
    </message>
    <message>
        <source>The %1th MBSN in excel file is repeated with previous!</source>
        <translation>The %1th MBSN in excel file is repeated with previous!</translation>
    </message>
    <message>
        <source>The %1th PSN in excel file is repeated with previous!</source>
        <translation>The %1th PSN in excel file is repeated with previous!</translation>
    </message>
    <message>
        <source>The length of the %1th MBSN in excel file is invalid!</source>
        <translation>The length of the %1th MBSN in excel file is invalid!</translation>
    </message>
    <message>
        <source>The length of the %1th PSN in excel file is invalid!</source>
        <translation>The length of the %1th PSN in excel file is invalid!</translation>
    </message>
    <message>
        <source>The imei of %1th line in excel file is invalid!</source>
        <translation>The imei of %1th line in excel file is invalid!</translation>
    </message>
    <message>
        <source>The imei of %1th line in excel file is repeated with previous!</source>
        <translation>The imei of %1th line in excel file is repeated with previous!</translation>
    </message>
    <message>
        <source>The %1th MBSN in excel file is invalid: %2</source>
        <translation>The %1th MBSN in excel file is invalid: %2</translation>
    </message>
    <message>
        <source>The %1th PSN in excel file is invalid: %2</source>
        <translation>The %1th PSN in excel file is invalid: %2</translation>
    </message>
    <message>
        <source>the number %1 is not 15 digits (the number formats of .xls workbooks are not read: store IMEIs there as text)</source>
        <translation>the number %1 is not 15 digits (the number formats of .xls workbooks are not read: store IMEIs there as text)</translation>
    </message>
    <message>
        <source>%1 has %2 digits, an IMEI 15 (or 14 before its check digit)</source>
        <translation>%1 has %2 digits, an IMEI 15 (or 14 before its check digit)</translation>
    </message>
    <message>
        <source>The imei of %1th line in excel file is invalid: %2</source>
        <translation>The imei of %1th line in excel file is invalid: %2</translation>
    </message>
</context>
<context>
    <name>StationCycle</name>
    <message>
        <source>The version cann&apos;t be empty!</source>
        <translation>The version cann&apos;t be empty!</translation>
    </message>
    <message>
        <source>Write is disabled: the settings file %1 cannot be used: %2</source>
        <translation>Write is disabled: the settings file %1 cannot be used: %2</translation>
    </message>
    <message>
        <source>No handset on the port: the write is dropped.</source>
        <translation>No handset on the port: the write is dropped.</translation>
    </message>
    <message>
        <source>The first two digits of BT must be even number,please check!</source>
        <translation>The first two digits of BT must be even number,please check!</translation>
    </message>
    <message>
        <source>The length of %1 is not enough!</source>
        <translation>The length of %1 is not enough!</translation>
    </message>
    <message>
        <source>IMEI%1: %2 </source>
        <translation>IMEI%1: %2 </translation>
    </message>
    <message>
        <source>MBSN: %1 </source>
        <translation>MBSN: %1 </translation>
    </message>
    <message>
        <source>PSN: %1 </source>
        <translation>PSN: %1 </translation>
    </message>
    <message>
        <source>BT: %1 </source>
        <translation>BT: %1 </translation>
    </message>
    <message>
        <source>had  been successfully written to flash!</source>
        <translation>had  been successfully written to flash!</translation>
    </message>
    <message>
        <source>Reading is successful!</source>
        <translation>Reading is successful!</translation>
    </message>
    <message>
        <source>Version read successful!</source>
        <translation>Version read successful!</translation>
    </message>
    <message>
        <source>Version is %1 in flash!</source>
        <translation>Version is %1 in flash!</translation>
    </message>
    <message>
        <source>empty</source>
        <translation>empty</translation>
    </message>
    <message>
        <source>Can&apos;t do pressure test when including version checking!</source>
        <translation>Can&apos;t do pressure test when including version checking!</translation>
    </message>
    <message>
        <source>The handset changed in the start delay: the write is dropped.</source>
        <translation>The handset changed in the start delay: the write is dropped.</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>You have already run an application.</source>
        <translation>You have already run an application.</translation>
    </message>
    <message>
        <source>The folder %1 cannot be written by this account, so the settings, histories and logs could not be saved. Ask the line engineer to add this account to the group %2 (then log in again), or to name a writable folder in %3.</source>
        <translation>The folder %1 cannot be written by this account, so the settings, histories and logs could not be saved. Ask the line engineer to add this account to the group %2 (then log in again), or to name a writable folder in %3.</translation>
    </message>
</context>
</TS>
