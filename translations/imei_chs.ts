<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>BtAddress</name>
    <message>
        <source>a Bluetooth address has %1 hexadecimal digits, &quot;%2&quot; has %3 characters</source>
        <translation>蓝牙地址应为 %1 位十六进制数，“%2”有 %3 个字符</translation>
    </message>
    <message>
        <source>a Bluetooth address holds hexadecimal digits only, &quot;%1&quot; does not</source>
        <translation>蓝牙地址只能包含十六进制数字，“%1”不是</translation>
    </message>
</context>
<context>
    <name>BtAddressGenerator</name>
    <message>
        <source>BT start address is wrong!</source>
        <translation>蓝牙起始地址错误!</translation>
    </message>
    <message>
        <source>BT end address is wrong!</source>
        <translation>蓝牙结束地址错误!</translation>
    </message>
    <message>
        <source>BT start address can&apos;t be larger than the end!</source>
        <translation>蓝牙起始地址不能大于结束地址!</translation>
    </message>
    <message>
        <source>BT current value is beyond the address scope now!</source>
        <translation>蓝牙当前地址已超出地址范围!</translation>
    </message>
    <message>
        <source>BT %1 has repeated with previous!</source>
        <translation>蓝牙地址 %1 与之前的重复!</translation>
    </message>
    <message>
        <source>No BT address is handed out: %1</source>
        <translation>未分配蓝牙地址：%1</translation>
    </message>
    <message>
        <source>BT start address %1 has an odd first octet: it is a group address!</source>
        <translation>蓝牙起始地址 %1 的第一个字节为奇数：这是组地址!</translation>
    </message>
</context>
<context>
    <name>BuildInfo</name>
    <message>
        <source>Package %1, build %2</source>
        <translation>程序包 %1，构建 %2</translation>
    </message>
</context>
<context>
    <name>DeviceBackend</name>
    <message>
        <source>device backend %1: no such file</source>
        <translation>设备后端 %1：文件不存在</translation>
    </message>
    <message>
        <source>device backend %1 cannot be loaded: %2</source>
        <translation>无法加载设备后端 %1：%2</translation>
    </message>
    <message>
        <source>device backend %1 is not a backend: it has no %2</source>
        <translation>设备后端 %1 不是后端模块：其中没有 %2</translation>
    </message>
    <message>
        <source>device backend %1 gives no function table</source>
        <translation>设备后端 %1 未提供函数表</translation>
    </message>
    <message>
        <source>device backend %1 has interface version %2.%3; this tool needs %4.x</source>
        <translation>设备后端 %1 的接口版本为 %2.%3；本工具需要 %4.x</translation>
    </message>
    <message>
        <source>device backend %1 has an incomplete function table</source>
        <translation>设备后端 %1 的函数表不完整</translation>
    </message>
    <message>
        <source>device backend %1 did not start: %2</source>
        <translation>设备后端 %1 未能启动：%2</translation>
    </message>
    <message>
        <source>device backend %1 %2 (%3)</source>
        <translation>设备后端 %1 %2（%3）</translation>
    </message>
</context>
<context>
    <name>FPColorGraphicsView</name>
    <message>
        <source>Error!!</source>
        <translation>错误!!</translation>
    </message>
    <message>
        <source>Unmount</source>
        <translation>未连接</translation>
    </message>
    <message>
        <source>Idle...</source>
        <translation>空闲...</translation>
    </message>
    <message>
        <source>Writting...</source>
        <translation>正在写入...</translation>
    </message>
    <message>
        <source>Reading...</source>
        <translation>正在读取...</translation>
    </message>
    <message>
        <source>Writting Finished!</source>
        <translation>写入完成!</translation>
    </message>
    <message>
        <source>Reading Finished!</source>
        <translation>读取完成!</translation>
    </message>
    <message>
        <source>Setting...</source>
        <translation>设置中...</translation>
    </message>
</context>
<context>
    <name>FPDoverARizMainWindow</name>
    <message>
        <source>Port</source>
        <translation>端口</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>版本</translation>
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
        <translation>蓝牙地址</translation>
    </message>
    <message>
        <source>Total: 0</source>
        <translation>总数: 0</translation>
    </message>
    <message>
        <source>PASS: 0</source>
        <translation>通过: 0</translation>
    </message>
    <message>
        <source>FAIL: 0</source>
        <translation>失败: 0</translation>
    </message>
    <message>
        <source>FPY: 0%</source>
        <translation>直通率: 0%</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>清零</translation>
    </message>
    <message>
        <source>Setup</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>Write</source>
        <translation>写入</translation>
    </message>
    <message>
        <source>Read</source>
        <translation>读取</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>退出</translation>
    </message>
    <message>
        <source>Tools</source>
        <translation>工具</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>帮助</translation>
    </message>
    <message>
        <source>About</source>
        <translation>关于</translation>
    </message>
    <message>
        <source>Unmount</source>
        <translation>未连接</translation>
    </message>
    <message>
        <source>Port: (none)</source>
        <translation>端口: (无)</translation>
    </message>
    <message>
        <source>Port: %1</source>
        <translation>端口: %1</translation>
    </message>
    <message>
        <source>PASS: %1</source>
        <translation>通过: %1</translation>
    </message>
    <message>
        <source>FAIL: %1</source>
        <translation>失败: %1</translation>
    </message>
    <message>
        <source>Total: %1</source>
        <translation>总数: %1</translation>
    </message>
    <message>
        <source>FPY: %1%</source>
        <translation>直通率: %1%</translation>
    </message>
    <message>
        <source> IMEI source:From excel file
	Path:%1
	Max limited number:%2</source>
        <translation> IMEI来源:Excel文件
	路径:%1
	最大数量:%2</translation>
    </message>
    <message>
        <source> IMEI source:Custom</source>
        <translation> IMEI来源:自定义</translation>
    </message>
    <message>
        <source>	Initial number:%1
	Mask:%2
	Max limited number:%3</source>
        <translation>	起始号:%1
	掩码:%2
	最大数量:%3</translation>
    </message>
    <message>
        <source>	The other IMEIs : None</source>
        <translation>	其他IMEI : 无</translation>
    </message>
    <message>
        <source>	The other IMEIs : Add 1 by the order</source>
        <translation>	其他IMEI : 依次加1</translation>
    </message>
    <message>
        <source>	The other IMEIs : Equal to the first</source>
        <translation>	其他IMEI : 与第一个相同</translation>
    </message>
    <message>
        <source>KVX IMEI Write tool %1</source>
        <translation>KVX IMEI 写号工具 %1</translation>
    </message>
    <message>
        <source>Chinese</source>
        <translation>中文</translation>
    </message>
    <message>
        <source>English</source>
        <translation>English</translation>
    </message>
    <message>
        <source>About IMEI Write tool</source>
        <translation>关于 IMEI 写号工具</translation>
    </message>
    <message>
        <source>KVX imei write tool %1%2
Copyright (C) %3, all rights reserved.</source>
        <translation>KVX IMEI 写号工具 %1%2
版权所有 (C) %3，保留所有权利。</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>About KVX Write IMEI tool</source>
        <translation>关于 KVX IMEI 写号工具</translation>
    </message>
    <message>
        <source>KVX Write IMEI tool %1%2
Copyright (C) %3, all rights reserved.</source>
        <translation>KVX IMEI 写号工具 %1%2
版权所有 (C) %3，保留所有权利。</translation>
    </message>
    <message>
        <source>Close Confirmation?</source>
        <translation>确认关闭?</translation>
    </message>
    <message>
        <source>Are you sure you want to exit?</source>
        <translation>确定要退出吗?</translation>
    </message>
    <message>
        <source>No PDF viewer was found to open the manual %1: there is no %2 beside the tool, and the desktop has no program for PDF files. Install a PDF viewer.</source>
        <translation>找不到可以打开手册 %1 的 PDF 阅读器：工具旁边没有 %2，桌面也没有打开 PDF 文件的程序。请安装一个 PDF 阅读器。</translation>
    </message>
    <message>
        <source>The manual %1 was not found in %2. Reinstall the tool, or put the manual there.</source>
        <translation>在 %2 中找不到手册 %1。请重新安装工具，或把手册放到该位置。</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>The settings file %1 cannot be used: %2.
It is left as it is, and Write stays disabled until the file is mended and the tool started again; Read works with the default settings.</source>
        <translation>设置文件 %1 无法使用：%2。
文件保持原样；在修好文件并重新启动工具之前，写入不可用；读取使用默认设置。</translation>
    </message>
    <message>
        <source>The settings could not be saved to %1: %2</source>
        <translation>无法把设置保存到 %1：%2</translation>
    </message>
</context>
<context>
    <name>FPDoverARizSettingDlg</name>
    <message>
        <source>Setup</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>端口</translation>
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
        <translation>工位检查</translation>
    </message>
    <message>
        <source>Current Station</source>
        <translation>当前工位</translation>
    </message>
    <message>
        <source>Check Station</source>
        <translation>检查工位</translation>
    </message>
    <message>
        <source>Other</source>
        <translation>其他</translation>
    </message>
    <message>
        <source>InitializeFactoryData</source>
        <translation>初始化工厂数据</translation>
    </message>
    <message>
        <source>CheckVersion</source>
        <translation>检查版本</translation>
    </message>
    <message>
        <source>FactoryReset</source>
        <translation>恢复出厂设置</translation>
    </message>
    <message>
        <source>IMEI</source>
        <translation>IMEI</translation>
    </message>
    <message>
        <source>Setting</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>ImeisNum</source>
        <translation>IMEI个数</translation>
    </message>
    <message>
        <source>CheckRepeat</source>
        <translation>检查重复</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>Default</source>
        <translation>默认</translation>
    </message>
    <message>
        <source>  IMEI1(main)</source>
        <translation>  IMEI1(主)</translation>
    </message>
    <message>
        <source>ManulInput</source>
        <translation>手动输入</translation>
    </message>
    <message>
        <source>DefaultValue</source>
        <translation>默认值</translation>
    </message>
    <message>
        <source>     IMEI2</source>
        <translation>     IMEI2</translation>
    </message>
    <message>
        <source>AccumulationByStep</source>
        <translation>按步递增</translation>
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
        <translation>从文件导入</translation>
    </message>
    <message>
        <source>Browse</source>
        <translation>浏览</translation>
    </message>
    <message>
        <source>Custom</source>
        <translation>自定义</translation>
    </message>
    <message>
        <source>Init Code</source>
        <translation>起始码</translation>
    </message>
    <message>
        <source>Mask</source>
        <translation>掩码</translation>
    </message>
    <message>
        <source>Add 1(14th Digit)</source>
        <translation>加1(第14位)</translation>
    </message>
    <message>
        <source>Max limited number</source>
        <translation>最大数量</translation>
    </message>
    <message>
        <source>DefaultIMEI</source>
        <translation>默认IMEI</translation>
    </message>
    <message>
        <source>MBSN</source>
        <translation>MBSN</translation>
    </message>
    <message>
        <source>Manul Input</source>
        <translation>手动输入</translation>
    </message>
    <message>
        <source>Auto Generation</source>
        <translation>自动生成</translation>
    </message>
    <message>
        <source>PSN</source>
        <translation>PSN</translation>
    </message>
    <message>
        <source>AutoGeneration</source>
        <translation>自动生成</translation>
    </message>
    <message>
        <source>BlueTooth</source>
        <translation>蓝牙</translation>
    </message>
    <message>
        <source>ByTime</source>
        <translation>按时间</translation>
    </message>
    <message>
        <source>ByAddress</source>
        <translation>按地址</translation>
    </message>
    <message>
        <source>EndAddress</source>
        <translation>结束地址</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>BT start address can not be larger than the end!</source>
        <translation>蓝牙起始地址不能大于结束地址!</translation>
    </message>
    <message>
        <source>Excel files (*.xls)</source>
        <translation>Excel 文件 (*.xls)</translation>
    </message>
    <message>
        <source>Excel workbooks (*.xlsx)</source>
        <translation>Excel 工作簿 (*.xlsx)</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>CSV 文件 (*.csv)</translation>
    </message>
    <message>
        <source>Select Excel File</source>
        <translation>选择 Excel 文件</translation>
    </message>
    <message>
        <source>The initial IMEI number %1 must be digits!</source>
        <translation>IMEI 初始号码 %1 必须是数字!</translation>
    </message>
</context>
<context>
    <name>FPDoverARizWorker</name>
    <message>
        <source>Stop ...</source>
        <translation>停止 ...</translation>
    </message>
    <message>
        <source>Stop exited</source>
        <translation>已停止</translation>
    </message>
    <message>
        <source>Unable to open port %1: no handset answers there, or the port is in use</source>
        <translation>无法打开端口 %1：该端口上没有手机应答，或端口正被占用</translation>
    </message>
    <message>
        <source>Unable to prepare the handset on port %1: %2</source>
        <translation>无法准备端口 %1 上的手机：%2</translation>
    </message>
    <message>
        <source>Close port %1</source>
        <translation>关闭端口 %1</translation>
    </message>
    <message>
        <source>Init flash information ...</source>
        <translation>初始化闪存信息 ...</translation>
    </message>
    <message>
        <source>Check flags failed!</source>
        <translation>检查标志失败!</translation>
    </message>
    <message>
        <source>Read cycle: the factory data is not initialised</source>
        <translation>读取：不初始化工厂数据</translation>
    </message>
    <message>
        <source>Read cycle: the factory reset is skipped</source>
        <translation>读取：跳过恢复出厂设置</translation>
    </message>
    <message>
        <source>Unable to get flash info from device: %1</source>
        <translation>无法从设备获取闪存信息：%1</translation>
    </message>
    <message>
        <source>Flash model is unknown</source>
        <translation>闪存型号未知</translation>
    </message>
    <message>
        <source>Factory base and size are unknown</source>
        <translation>工厂数据区的地址和大小未知</translation>
    </message>
    <message>
        <source>Unable to get chip ID: %1</source>
        <translation>无法获取芯片 ID：%1</translation>
    </message>
    <message>
        <source>Unsupported chip</source>
        <translation>不支持的芯片</translation>
    </message>
    <message>
        <source>Unable to determine ramrun lod file name</source>
        <translation>无法确定 RAM-run 镜像文件名</translation>
    </message>
    <message>
        <source>Ramrun lod file %1 not exist</source>
        <translation>RAM-run 镜像文件 %1 不存在</translation>
    </message>
    <message>
        <source>Unable to load ramrun lod file %1</source>
        <translation>无法载入 RAM-run 镜像文件 %1</translation>
    </message>
    <message>
        <source>Begin to read information from flash ...</source>
        <translation>开始从闪存读取信息 ...</translation>
    </message>
    <message>
        <source>Invalid station setting magic</source>
        <translation>工位设置的标识无效</translation>
    </message>
    <message>
        <source>Failed to read factory data from device: %1</source>
        <translation>无法从设备读取工厂数据：%1</translation>
    </message>
    <message>
        <source>Check flags ...</source>
        <translation>检查标志 ...</translation>
    </message>
    <message>
        <source>Failed to check station!</source>
        <translation>检查工位失败!</translation>
    </message>
    <message>
        <source>Missing station: %1!</source>
        <translation>缺少工位：%1!</translation>
    </message>
    <message>
        <source>Failed station: %1!</source>
        <translation>工位未通过：%1!</translation>
    </message>
    <message>
        <source>Init factory data ...</source>
        <translation>初始化工厂数据 ...</translation>
    </message>
    <message>
        <source>FactoryReset ...</source>
        <translation>恢复出厂设置 ...</translation>
    </message>
    <message>
        <source>Programmer is nullptr</source>
        <translation>闪存编程器不可用</translation>
    </message>
    <message>
        <source>The address of user data is invalid</source>
        <translation>用户数据区地址无效</translation>
    </message>
    <message>
        <source>Factory reset successfully!</source>
        <translation>恢复出厂设置成功!</translation>
    </message>
    <message>
        <source>Factory reset failed!</source>
        <translation>恢复出厂设置失败!</translation>
    </message>
    <message>
        <source>Write flag ...</source>
        <translation>写入标志 ...</translation>
    </message>
    <message>
        <source>Failed to write station flag %1: %2</source>
        <translation>写入工位标志 %1 失败：%2</translation>
    </message>
    <message>
        <source>Failed to update factory data</source>
        <translation>更新工厂数据失败</translation>
    </message>
    <message>
        <source>Failed to get version!</source>
        <translation>获取版本失败!</translation>
    </message>
    <message>
        <source>The version does not match, its value is %1 in flash !</source>
        <translation>版本不符，闪存中的版本为 %1 !</translation>
    </message>
    <message>
        <source>Version checking successful!</source>
        <translation>版本检查成功!</translation>
    </message>
    <message>
        <source>Writing station is  failed!</source>
        <translation>写入工位失败!</translation>
    </message>
    <message>
        <source>IMEI%1 is invalid,you can use %2,please check!</source>
        <translation>IMEI%1 无效，可以使用 %2，请检查!</translation>
    </message>
    <message>
        <source>Set IMEI%1 failed!</source>
        <translation>写入 IMEI%1 失败!</translation>
    </message>
    <message>
        <source>Unable to record the IMEIs in %1; the handset is not written</source>
        <translation>无法把 IMEI 记录到 %1；手机没有被写入</translation>
    </message>
    <message>
        <source>write MBSN error!</source>
        <translation>写入 MBSN 出错!</translation>
    </message>
    <message>
        <source>write PSN error!</source>
        <translation>写入 PSN 出错!</translation>
    </message>
    <message>
        <source>write BT error!</source>
        <translation>写入蓝牙地址出错!</translation>
    </message>
    <message>
        <source>Unable to record %1 in %2; the handset is not written</source>
        <translation>无法把 %1 记录到 %2；手机没有被写入</translation>
    </message>
    <message>
        <source>Writing data to flash...</source>
        <translation>正在把数据写入闪存...</translation>
    </message>
    <message>
        <source>Writing is  failed!</source>
        <translation>写入失败!</translation>
    </message>
    <message>
        <source>Writing is successful.</source>
        <translation>写入成功。</translation>
    </message>
    <message>
        <source>Already issued on the line, the handset is not written: %1</source>
        <translation>该号码已在产线上发出过，手机没有被写入：%1</translation>
    </message>
    <message>
        <source>The handset is written; the line&apos;s ledger will be told at the next write: %1</source>
        <translation>手机已写入；下次写号时再通知产线台账：%1</translation>
    </message>
    <message>
        <source>Nothing is written while the histories cannot be read: %1</source>
        <translation>历史记录无法完整读取，因此不写号：%1</translation>
    </message>
    <message>
        <source>The RAM-run image %1 is not a regular file</source>
        <translation>RAM-run 镜像 %1 不是普通文件</translation>
    </message>
    <message>
        <source>%1 recorded in the history and not written: not handed out again.</source>
        <translation>%1 已记入历史记录但未写入：不会再次分配。</translation>
    </message>
</context>
<context>
    <name>HistoryFile</name>
    <message>
        <source>%1 is %2, not a regular file</source>
        <translation>%1 是%2，不是普通文件</translation>
    </message>
    <message>
        <source>a symbolic link</source>
        <translation>符号链接</translation>
    </message>
    <message>
        <source>a directory</source>
        <translation>目录</translation>
    </message>
    <message>
        <source>a FIFO</source>
        <translation>命名管道（FIFO）</translation>
    </message>
    <message>
        <source>a device</source>
        <translation>设备文件</translation>
    </message>
    <message>
        <source>a special file</source>
        <translation>特殊文件</translation>
    </message>
    <message>
        <source>%1 cannot be opened: %2</source>
        <translation>无法打开 %1：%2</translation>
    </message>
    <message>
        <source>%1 could not be read to its end: %2</source>
        <translation>%1 未能完整读取：%2</translation>
    </message>
</context>
<context>
    <name>HistoryImport</name>
    <message>
        <source>Nothing imported: %1</source>
        <translation>未导入任何记录：%1</translation>
    </message>
    <message>
        <source>IMEI record %1: &quot;%2&quot; is not an IMEI, left out.</source>
        <translation>IMEI 记录 %1：“%2”不是 IMEI，已跳过。</translation>
    </message>
    <message>
        <source>%1 history line %2: &quot;%3&quot; is not an identity of its kind, left out.</source>
        <translation>%1 历史记录第 %2 行：“%3”不是该类号码，已跳过。</translation>
    </message>
    <message>
        <source>No history files in %1.</source>
        <translation>%1 中没有历史记录文件。</translation>
    </message>
    <message>
        <source>The import needs the station&apos;s name.</source>
        <translation>导入需要本工位的名称。</translation>
    </message>
</context>
<context>
    <name>IdentityAllocator</name>
    <message>
        <source>The counters could not be saved to %1, so no identity is handed out!</source>
        <translation>无法把计数保存到 %1，因此不发出任何号码!</translation>
    </message>
    <message>
        <source>the custom source</source>
        <translation>自定义来源</translation>
    </message>
    <message>
        <source>the excel file</source>
        <translation>Excel 文件</translation>
    </message>
    <message>
        <source>%1 from %2 are not checked against the history: the next start begins again at the first value!</source>
        <translation>来自%2的 %1 未与历史记录比对：下次启动将从第一个值重新开始!</translation>
    </message>
    <message>
        <source>Import MBSN from excel file failed! %1</source>
        <translation>从 Excel 文件导入 MBSN 失败! %1</translation>
    </message>
    <message>
        <source>Import PSN from excel file failed!</source>
        <translation>从 Excel 文件导入 PSN 失败!</translation>
    </message>
    <message>
        <source>Custom MBSN  failed!!</source>
        <translation>自定义 MBSN 失败!!</translation>
    </message>
    <message>
        <source>Custom PSN  failed!</source>
        <translation>自定义 PSN 失败!</translation>
    </message>
    <message>
        <source>AutoGenerate MBSN  failed!!</source>
        <translation>自动生成 MBSN 失败!!</translation>
    </message>
    <message>
        <source>AutoGenerate PSN  failed!!</source>
        <translation>自动生成 PSN 失败!!</translation>
    </message>
    <message>
        <source>MBSNs</source>
        <translation>MBSN</translation>
    </message>
    <message>
        <source>PSNs</source>
        <translation>PSN</translation>
    </message>
    <message>
        <source>Import IMEI from excel file failed!</source>
        <translation>从 Excel 文件导入 IMEI 失败!</translation>
    </message>
    <message>
        <source>Custom IMEI failed!</source>
        <translation>自定义 IMEI 失败!</translation>
    </message>
    <message>
        <source>IMEIs</source>
        <translation>IMEI</translation>
    </message>
    <message>
        <source>AutoGenerate BT  failed!!</source>
        <translation>自动生成蓝牙地址失败!!</translation>
    </message>
    <message>
        <source>All of IMEIs have written to flash,It&apos;s finished!</source>
        <translation>所有 IMEI 都已写入闪存，已完成!</translation>
    </message>
    <message>
        <source>No imeis can be written!</source>
        <translation>没有可写入的 IMEI!</translation>
    </message>
    <message>
        <source>All of MBSNs have written to flash,It&apos;s finished!</source>
        <translation>所有 MBSN 都已写入闪存，已完成!</translation>
    </message>
    <message>
        <source>All of PSNs have written to flash,It&apos;s finished!</source>
        <translation>所有 PSN 都已写入闪存，已完成!</translation>
    </message>
    <message>
        <source>No MBSN can be written!</source>
        <translation>没有可写入的 MBSN!</translation>
    </message>
    <message>
        <source>No PSN can be written!</source>
        <translation>没有可写入的 PSN!</translation>
    </message>
    <message>
        <source>No BT can be written!</source>
        <translation>没有可写入的蓝牙地址!</translation>
    </message>
    <message>
        <source>%1 %2 was not written and is not handed out again.</source>
        <translation>%1 %2 未写入，且不会再次分配。</translation>
    </message>
    <message>
        <source>IMEI %1 was not written and is not handed out again.</source>
        <translation>IMEI %1 未写入，且不会再次分配。</translation>
    </message>
</context>
<context>
    <name>IdentityChecks</name>
    <message>
        <source>IMEI%1 is invalid,you can use %2</source>
        <translation>IMEI%1 无效，可以使用 %2</translation>
    </message>
    <message>
        <source>IMEI%1 can not be same as previous IMEI</source>
        <translation>IMEI%1 不能与之前的 IMEI 相同</translation>
    </message>
    <message>
        <source>The length of IMEI%1 is not enough!</source>
        <translation>IMEI%1 的长度不够!</translation>
    </message>
    <message>
        <source>IMEI%1 has repeated with previous IMEI</source>
        <translation>IMEI%1 与前面的 IMEI 重复</translation>
    </message>
    <message>
        <source>The length of MBSN is not enough!</source>
        <translation>MBSN 的长度不够!</translation>
    </message>
    <message>
        <source>The length of PSN is not enough!</source>
        <translation>PSN 的长度不够!</translation>
    </message>
    <message>
        <source>MBSN is invalid!</source>
        <translation>MBSN 无效!</translation>
    </message>
    <message>
        <source>PSN is invalid!</source>
        <translation>PSN 无效!</translation>
    </message>
    <message>
        <source>MBSN has repeated with previous!</source>
        <translation>MBSN 与之前的重复!</translation>
    </message>
    <message>
        <source>PSN has repeated with previous!</source>
        <translation>PSN 与之前的重复!</translation>
    </message>
    <message>
        <source>The length of BT is not enough!</source>
        <translation>蓝牙地址的长度不够!</translation>
    </message>
    <message>
        <source>BT has repeated with previous!</source>
        <translation>蓝牙地址与之前的重复!</translation>
    </message>
    <message>
        <source>Warning: the length of IMEI%1 is overweight!</source>
        <translation>警告：IMEI%1 的长度超长!</translation>
    </message>
    <message>
        <source>No default IMEI is handed out: %1</source>
        <translation>未分配默认IMEI：%1</translation>
    </message>
    <message>
        <source>BT is invalid!</source>
        <translation>蓝牙地址无效!</translation>
    </message>
    <message>
        <source>No default IMEI is handed out: ImeiDefaultValue in %1 is not 15 digits (&quot;%2&quot;); set it in the Setup dialog</source>
        <translation>不分配默认 IMEI：%1 中的 ImeiDefaultValue 不是 15 位数字（&quot;%2&quot;）；请在设置对话框中设置</translation>
    </message>
    <message>
        <source>No default IMEI is handed out: the default IMEI counter is at the end of type allocation code %1; set ImeiDefaultValue to a new code</source>
        <translation>不分配默认 IMEI：默认 IMEI 计数器已到达型号核准码 %1 的末尾；请将 ImeiDefaultValue 设为新的型号核准码</translation>
    </message>
    <message>
        <source>IMEI%1 is not handed out: the step from %2 leaves type allocation code %3</source>
        <translation>不分配 IMEI%1：从 %2 递增将超出型号核准码 %3</translation>
    </message>
</context>
<context>
    <name>IdentityGate</name>
    <message>
        <source>IMEI%1 is not written: %2</source>
        <translation>IMEI%1 未写入：%2</translation>
    </message>
    <message>
        <source>IMEI%1 %2 is not written: another IMEI of the set is the same</source>
        <translation>IMEI%1 %2 未写入：本组另一个 IMEI 与它相同</translation>
    </message>
    <message>
        <source>IMEI%1 %2 is not written: it was issued already</source>
        <translation>IMEI%1 %2 未写入：该号码已经发出过</translation>
    </message>
    <message>
        <source>%1 is not written: %2</source>
        <translation>%1 未写入：%2</translation>
    </message>
    <message>
        <source>%1 %2 is not written: it was issued already</source>
        <translation>%1 %2 未写入：该号码已经发出过</translation>
    </message>
    <message>
        <source>BT is not written: %1</source>
        <translation>蓝牙地址未写入：%1</translation>
    </message>
    <message>
        <source>BT %1 is not written: its first octet is odd</source>
        <translation>蓝牙地址 %1 未写入：第一个字节是奇数</translation>
    </message>
    <message>
        <source>BT %1 is not written: it was issued already</source>
        <translation>蓝牙地址 %1 未写入：该地址已经发出过</translation>
    </message>
</context>
<context>
    <name>IdentityInputController</name>
    <message>
        <source>Start Address is error!</source>
        <translation>起始地址错误!</translation>
    </message>
    <message>
        <source>IMEI1 is repeated with the previous!</source>
        <translation>IMEI1 与之前的重复!</translation>
    </message>
    <message>
        <source>IMEI2 is repeated with the previous!</source>
        <translation>IMEI2 与之前的重复!</translation>
    </message>
    <message>
        <source>IMEI3 is repeated with the previous!</source>
        <translation>IMEI3 与之前的重复!</translation>
    </message>
    <message>
        <source>IMEI4 is repeated with the previous!</source>
        <translation>IMEI4 与之前的重复!</translation>
    </message>
    <message>
        <source>Bluetooth is repeated with previous!</source>
        <translation>蓝牙地址与之前的重复!</translation>
    </message>
    <message>
        <source>MBSN is invalid</source>
        <translation>MBSN 无效</translation>
    </message>
    <message>
        <source>PSN is invalid</source>
        <translation>PSN 无效</translation>
    </message>
    <message>
        <source>MBSN is repeated with prev</source>
        <translation>MBSN 与之前的重复</translation>
    </message>
    <message>
        <source>PSN is repeated with prev</source>
        <translation>PSN 与之前的重复</translation>
    </message>
    <message>
        <source>IMEI%1 value is empty !</source>
        <translation>IMEI%1 的值为空 !</translation>
    </message>
    <message>
        <source>MBSN value is empty !</source>
        <translation>MBSN 的值为空 !</translation>
    </message>
    <message>
        <source>PSN value is empty !</source>
        <translation>PSN 的值为空 !</translation>
    </message>
    <message>
        <source>BT value is empty !</source>
        <translation>蓝牙地址的值为空 !</translation>
    </message>
</context>
<context>
    <name>Imei</name>
    <message>
        <source>an IMEI has %1 digits, &quot;%2&quot; has %3 characters</source>
        <translation>IMEI 应为 %1 位数字，“%2”有 %3 个字符</translation>
    </message>
    <message>
        <source>an IMEI holds digits only, &quot;%1&quot; does not</source>
        <translation>IMEI 只能包含数字，“%1”不是</translation>
    </message>
</context>
<context>
    <name>ImeiPoolGenerator</name>
    <message>
        <source>The custom part of IMEI must be digits!</source>
        <translation>IMEI 的自定义部分必须是数字!</translation>
    </message>
    <message>
        <source>The initial IMEI number (ImeiInitNum14) must be digits: %1</source>
        <translation>IMEI 初始号码（ImeiInitNum14）必须是数字：%1</translation>
    </message>
</context>
<context>
    <name>Ledger</name>
    <message>
        <source>%1 %2 is held by station %3 since %4 (%5).</source>
        <translation>%1 %2 自 %4 起已被工位 %3 占用（%5）。</translation>
    </message>
    <message>
        <source>The line&apos;s configuration names no station.</source>
        <translation>产线配置中没有指定工位。</translation>
    </message>
    <message>
        <source>The ledger holds no claim %1.</source>
        <translation>台账中没有占用记录 %1。</translation>
    </message>
    <message>
        <source>Claim %1 of the ledger is not this station&apos;s to mark.</source>
        <translation>台账中的占用记录 %1 不属于本工位，不能标记。</translation>
    </message>
    <message>
        <source>Not an identity kind of the ledger: %1.</source>
        <translation>不是台账中的号码类型：%1。</translation>
    </message>
    <message>
        <source>Not a counter block: %1 from %2 to %3, %4 at a time.</source>
        <translation>计数号段无效：%1 从 %2 到 %3，每次取 %4 个。</translation>
    </message>
    <message>
        <source>The shared counter %1 is used up.</source>
        <translation>共享计数器 %1 已用完。</translation>
    </message>
    <message>
        <source>No identities to record in the ledger.</source>
        <translation>没有要记入台账的号码。</translation>
    </message>
    <message>
        <source>Not an identity for the ledger: kind %1, &quot;%2&quot;.</source>
        <translation>不是可记入台账的号码：类型 %1，“%2”。</translation>
    </message>
    <message>
        <source>The ledger binds role %1 to no station, so station %2 may not claim: the ledger&apos;s owner binds it with &quot;ledger add-station %1 --station %2&quot;.</source>
        <translation>台账没有把角色 %1 绑定到任何工位，因此工位 %2 不能占用号码：请台账所有者用“ledger add-station %1 --station %2”绑定。</translation>
    </message>
    <message>
        <source>The ledger binds role %1 to station %2, but this station calls itself %3 (Station= of the line&apos;s file): one of them is wrong.</source>
        <translation>台账把角色 %1 绑定到工位 %2，但本工位的名称是 %3（产线文件中的 Station=）：其中有一个是错的。</translation>
    </message>
    <message>
        <source>the wait for it was stopped</source>
        <translation>等待已被停止</translation>
    </message>
    <message>
        <source>The line&apos;s ledger has no shared counter %1: its owner adds it with &quot;ledger add-counter %2&quot;.</source>
        <translation>产线台账中没有共享计数器 %1：请台账所有者用“ledger add-counter %2”添加。</translation>
    </message>
</context>
<context>
    <name>LedgerConnection</name>
    <message>
        <source>The ledger&apos;s connection text cannot be read.</source>
        <translation>无法读取台账的连接文本。</translation>
    </message>
    <message>
        <source>The ledger did not answer within %1 s.</source>
        <translation>台账在 %1 秒内没有应答。</translation>
    </message>
    <message>
        <source>The ledger&apos;s server kept the change, but warned: %1</source>
        <translation>台账服务器保留了这项更改，但发出了警告：%1</translation>
    </message>
</context>
<context>
    <name>LedgerCounterBlocks</name>
    <message>
        <source>the line&apos;s ledger cannot be reached for a block of the shared counter %1 (%2).</source>
        <translation>无法连接产线台账以获取共享计数器 %1 的号段（%2）。</translation>
    </message>
    <message>
        <source>no block of the shared counter %1 can be taken from the line&apos;s ledger: %2</source>
        <translation>无法从产线台账获取共享计数器 %1 的号段：%2</translation>
    </message>
    <message>
        <source>the wait for a block of the shared counter %1 was stopped.</source>
        <translation>等待共享计数器 %1 的号段已被停止。</translation>
    </message>
</context>
<context>
    <name>LedgerIdentityClaims</name>
    <message>
        <source>The line&apos;s ledger cannot be reached (%1): nothing is written until it is back.</source>
        <translation>无法连接产线台账（%1）：恢复连接前不写号。</translation>
    </message>
    <message>
        <source>The line&apos;s ledger refuses: %1</source>
        <translation>产线台账拒绝：%1</translation>
    </message>
    <message>
        <source>Not in the line&apos;s ledger: %1.</source>
        <translation>产线台账中没有：%1。</translation>
    </message>
</context>
<context>
    <name>LedgerIssuedIdentities</name>
    <message>
        <source>The line&apos;s ledger cannot answer (%1): only this station&apos;s history is asked, and nothing is written until the ledger is back.</source>
        <translation>产线台账无应答（%1）：只查本工位的历史记录，台账恢复前不写号。</translation>
    </message>
</context>
<context>
    <name>LedgerPools</name>
    <message>
        <source>The pool %1 holds no value.</source>
        <translation>号池 %1 不含任何号码。</translation>
    </message>
    <message>
        <source>A pool is named with letters, digits, &apos;_&apos; or &apos;-&apos; (at most 63), and holds IMEI sets, MBSN or PSN values: &quot;%1&quot;.</source>
        <translation>号池名称由字母、数字、“_”或“-”组成（最多 63 个），内容为 IMEI 组、MBSN 或 PSN：“%1”。</translation>
    </message>
    <message>
        <source>The pool %1 holds other values already, and a pool never changes: add these under another name.</source>
        <translation>号池 %1 已含其他号码，号池不可更改：请用另一名称添加这些号码。</translation>
    </message>
    <message>
        <source>%1 %2 lies in the pool %3 already: a value counts in one pool only.</source>
        <translation>%1 %2 已在号池 %3 中：一个号码只能属于一个号池。</translation>
    </message>
</context>
<context>
    <name>LedgerReports</name>
    <message>
        <source>%1: %2 imported from the history of station %3 (set %4).</source>
        <translation>%1：%2 从工位 %3 的历史记录导入（组 %4）。</translation>
    </message>
    <message>
        <source>%1: %2 claimed by %3 (set %4).</source>
        <translation>%1：%2 被占用，%3（组 %4）。</translation>
    </message>
    <message>
        <source>%1: %2 written into the handset.</source>
        <translation>%1：%2 已写入手机。</translation>
    </message>
    <message>
        <source>%1: never marked written: the handset was not saved, or its station lost the ledger before it could say so. The identity stays taken.</source>
        <translation>%1：从未标记为已写入：手机没有保存，或工位在报告前与台账断开。该号码仍视为已占用。</translation>
    </message>
    <message>
        <source>%1: in one set with %2.</source>
        <translation>%1：与 %2 同属一组。</translation>
    </message>
    <message>
        <source>%1: %2 confirmed by a read on %3.</source>
        <translation>%1：%2 读取确认，%3。</translation>
    </message>
    <message>
        <source>The export could not be written: %1</source>
        <translation>无法写入导出文件：%1</translation>
    </message>
    <message>
        <source>station %1</source>
        <translation>工位 %1</translation>
    </message>
    <message>
        <source>, port %1</source>
        <translation>，端口 %1</translation>
    </message>
    <message>
        <source>, chip %1</source>
        <translation>，芯片 %1</translation>
    </message>
</context>
<context>
    <name>LedgerSchema</name>
    <message>
        <source>The ledger&apos;s schema version is unreadable: &quot;%1&quot;.</source>
        <translation>无法识别台账的结构版本：“%1”。</translation>
    </message>
    <message>
        <source>The database holds no ledger: create it with &quot;ledger create-schema&quot;.</source>
        <translation>数据库中没有台账：请用“ledger create-schema”创建。</translation>
    </message>
    <message>
        <source>The ledger&apos;s schema is at version %1, this program needs version %2: bring it up to date with &quot;ledger create-schema&quot;.</source>
        <translation>台账结构版本为 %1，本程序需要版本 %2：请用“ledger create-schema”升级。</translation>
    </message>
    <message>
        <source>The ledger&apos;s schema is at version %1, newer than this program knows (%2): update the station.</source>
        <translation>台账结构版本为 %1，比本程序支持的版本（%2）新：请更新工位软件。</translation>
    </message>
    <message>
        <source>The ledger&apos;s schema is at version %1, newer than this program knows (%2).</source>
        <translation>台账结构版本为 %1，比本程序支持的版本（%2）新。</translation>
    </message>
    <message>
        <source>The database holds no ledger: create it first.</source>
        <translation>数据库中没有台账：请先创建。</translation>
    </message>
    <message>
        <source>pid %1</source>
        <translation>进程 %1</translation>
    </message>
    <message>
        <source>, role %1</source>
        <translation>，角色 %1</translation>
    </message>
    <message>
        <source>, application &quot;%1&quot;</source>
        <translation>，应用程序“%1”</translation>
    </message>
    <message>
        <source>Another session holds the ledger&apos;s locks, so its schema is left as it was; try again.</source>
        <translation>另一个会话持有台账的锁，台账结构保持不变；请重试。</translation>
    </message>
    <message>
        <source>Another session holds the ledger&apos;s locks, so its schema is left as it was: %1. Try again when it has ended, or end it (pg_terminate_backend).</source>
        <translation>另一个会话持有台账的锁，台账结构保持不变：%1。请在它结束后重试，或结束它（pg_terminate_backend）。</translation>
    </message>
    <message>
        <source>The stations&apos; role needs a name of letters, digits, &apos;_&apos; or &apos;-&apos; (at most 63): &quot;%1&quot;.</source>
        <translation>工位组角色的名称只能由字母、数字、“_”或“-”组成（最多 63 个字符）：“%1”。</translation>
    </message>
    <message>
        <source>Role and station names are letters, digits, &apos;_&apos; or &apos;-&apos; (at most 63): &quot;%1&quot;.</source>
        <translation>角色和工位名称只能由字母、数字、“_”或“-”组成（最多 63 个字符）：“%1”。</translation>
    </message>
    <message>
        <source>The ledger&apos;s schema is not at version %1: bring it up to date with &quot;ledger create-schema&quot; first.</source>
        <translation>台账结构不是版本 %1：请先用“ledger create-schema”升级。</translation>
    </message>
    <message>
        <source>Station %1 is bound to role %2 already.</source>
        <translation>工位 %1 已绑定到角色 %2。</translation>
    </message>
    <message>
        <source>A reader&apos;s role is named with letters, digits, &apos;_&apos; or &apos;-&apos; (at most 63), and is not %1: &quot;%2&quot;.</source>
        <translation>只读角色的名称由字母、数字、“_”或“-”组成（最多 63 个），且不能是 %1：“%2”。</translation>
    </message>
    <message>
        <source>Role %1 is a station or a superuser; a reader needs a role of its own.</source>
        <translation>角色 %1 是工位或超级用户；只读访问需要单独的角色。</translation>
    </message>
    <message>
        <source>The shared counter %1 runs from %2 to %3 already, and a counter keeps its range.</source>
        <translation>共享计数器 %1 已有范围 %2 至 %3，计数器的范围不能更改。</translation>
    </message>
    <message>
        <source>The shared counter %1 cannot run from %2 to %3 in blocks of %4: its name stands for other values.</source>
        <translation>共享计数器 %1 不能以每个号段 %4 个值从 %2 计到 %3：其名称代表的是其他数值。</translation>
    </message>
</context>
<context>
    <name>LineConfig</name>
    <message>
        <source>%1 cannot be read: %2</source>
        <translation>无法读取 %1：%2</translation>
    </message>
    <message>
        <source>%1, line %2: not a key=value line.</source>
        <translation>%1 第 %2 行：不是 key=value 格式。</translation>
    </message>
    <message>
        <source>%1, line %2: SharedCounters is true or false, not &quot;%3&quot;.</source>
        <translation>%1 第 %2 行：SharedCounters 只能是 true 或 false，不能是“%3”。</translation>
    </message>
    <message>
        <source>%1, line %2: CounterBlock is a number from 1 to 1000000, not &quot;%3&quot;.</source>
        <translation>%1 第 %2 行：CounterBlock 必须是 1 到 1000000 的数字，不能是“%3”。</translation>
    </message>
    <message>
        <source>%1, line %2: unknown key &quot;%3&quot;.</source>
        <translation>%1 第 %2 行：未知的键“%3”。</translation>
    </message>
    <message>
        <source>%1: the line&apos;s ledger needs this station&apos;s name (Station=).</source>
        <translation>%1：产线台账需要本工位的名称（Station=）。</translation>
    </message>
    <message>
        <source>%1 is not a regular file.</source>
        <translation>%1 不是普通文件。</translation>
    </message>
    <message>
        <source>%1 is larger than %2 bytes.</source>
        <translation>%1 大于 %2 字节。</translation>
    </message>
    <message>
        <source>%1 configures no ledger: it needs a [Ledger] section with Connection=. Remove the file for a station that works alone.</source>
        <translation>%1 没有配置台账：需要含有 Connection= 的 [Ledger] 段。单独工作的工位请删除该文件。</translation>
    </message>
    <message>
        <source>The ledger&apos;s connection text in %1 cannot be read.</source>
        <translation>无法读取 %1 中的台账连接文本。</translation>
    </message>
    <message>
        <source>The ledger&apos;s connection text in %1 holds a password: keep it in the password file (~/.pgpass) or a service file instead.</source>
        <translation>%1 中的台账连接文本包含密码：请把密码放在密码文件（~/.pgpass）或服务文件中。</translation>
    </message>
    <message>
        <source>%1, line %2: %3 is a number of seconds from 1 to 3600, not &quot;%4&quot;.</source>
        <translation>%1 第 %2 行：%3 必须是 1 到 3600 的秒数，不能是“%4”。</translation>
    </message>
    <message>
        <source>%1: Station= is letters, digits, &apos;_&apos; or &apos;-&apos; (at most 63), as the ledger binds it.</source>
        <translation>%1：Station= 只能由字母、数字、“_”或“-”组成（最多 63 个字符），与台账中绑定的名称一致。</translation>
    </message>
</context>
<context>
    <name>LineLedger</name>
    <message>
        <source>The line&apos;s configuration cannot be used, so nothing is written: %1</source>
        <translation>产线配置无法使用，因此不写号：%1</translation>
    </message>
    <message>
        <source>Station %1 claims every identity in the line&apos;s ledger (schema version %2).</source>
        <translation>工位 %1 发出的每个号码都在产线台账中登记占用（结构版本 %2）。</translation>
    </message>
    <message>
        <source>The line&apos;s ledger cannot be reached (%1): nothing is written until it is back.</source>
        <translation>无法连接产线台账（%1）：恢复连接前不写号。</translation>
    </message>
    <message>
        <source>The line&apos;s ledger cannot be used, so nothing is written: %1</source>
        <translation>产线台账无法使用，因此不写号：%1</translation>
    </message>
</context>
<context>
    <name>SerialGenerator</name>
    <message>
        <source>The custom part of MBSN must be digits or letters!</source>
        <translation>MBSN 的自定义部分必须是数字或字母!</translation>
    </message>
    <message>
        <source>The custom part of PSN must be digits or letters!</source>
        <translation>PSN 的自定义部分必须是数字或字母!</translation>
    </message>
    <message>
        <source>MBSN has repeated with previous!</source>
        <translation>MBSN 与之前的重复!</translation>
    </message>
    <message>
        <source>PSN has repeated with previous!</source>
        <translation>PSN 与之前的重复!</translation>
    </message>
</context>
<context>
    <name>SerialNumber</name>
    <message>
        <source>a serial number cannot be empty</source>
        <translation>序列号不能为空</translation>
    </message>
    <message>
        <source>a serial number has at most %1 characters, &quot;%2&quot; has %3</source>
        <translation>序列号最多 %1 个字符，“%2”有 %3 个</translation>
    </message>
    <message>
        <source>a serial number cannot hold &quot;#&quot;: &quot;%1&quot;</source>
        <translation>序列号不能包含“#”：“%1”</translation>
    </message>
    <message>
        <source>a serial number holds visible ASCII characters only, without blanks: &quot;%1&quot;</source>
        <translation>序列号只能包含可见的 ASCII 字符，不能有空格：“%1”</translation>
    </message>
</context>
<context>
    <name>SharedCounter</name>
    <message>
        <source>the ledger handed out %1 to %2 for %3, outside the range this station is set up for: refused.</source>
        <translation>台账为 %3 分配了 %1 到 %2，超出本工位设置的范围：已拒绝。</translation>
    </message>
</context>
<context>
    <name>SheetImport</name>
    <message>
        <source>The source file does not exist!</source>
        <translation>源文件不存在!</translation>
    </message>
    <message>
        <source>Read excel file error!</source>
        <translation>读取 Excel 文件出错!</translation>
    </message>
    <message>
        <source>Not find the string sheet in the excel file!</source>
        <translation>Excel 文件中找不到所需的工作表!</translation>
    </message>
    <message>
        <source>Empty file or the format of file is error!</source>
        <translation>文件为空或文件格式错误!</translation>
    </message>
    <message>
        <source>The %1th MBSN in excel file is repeated with previous!</source>
        <translation>Excel 文件中第 %1 个 MBSN 与之前的重复!</translation>
    </message>
    <message>
        <source>The %1th PSN in excel file is repeated with previous!</source>
        <translation>Excel 文件中第 %1 个 PSN 与之前的重复!</translation>
    </message>
    <message>
        <source>The length of the %1th MBSN in excel file is invalid!</source>
        <translation>Excel 文件中第 %1 个 MBSN 的长度无效!</translation>
    </message>
    <message>
        <source>The length of the %1th PSN in excel file is invalid!</source>
        <translation>Excel 文件中第 %1 个 PSN 的长度无效!</translation>
    </message>
    <message>
        <source>The imei of %1th line in excel file is invalid!</source>
        <translation>Excel 文件第 %1 行的 IMEI 无效!</translation>
    </message>
    <message>
        <source>The imei of %1th line in excel file is repeated with previous!</source>
        <translation>Excel 文件第 %1 行的 IMEI 与之前的重复!</translation>
    </message>
    <message>
        <source>The %1th MBSN in excel file is invalid: %2</source>
        <translation>Excel 文件中第 %1 个 MBSN 无效：%2</translation>
    </message>
    <message>
        <source>The %1th PSN in excel file is invalid: %2</source>
        <translation>Excel 文件中第 %1 个 PSN 无效：%2</translation>
    </message>
    <message>
        <source>the number %1 is not 15 digits (the number formats of .xls workbooks are not read: store IMEIs there as text)</source>
        <translation>数字 %1 不是 15 位（不读取 .xls 工作簿的数字格式：请将 IMEI 以文本形式保存）</translation>
    </message>
    <message>
        <source>%1 has %2 digits, an IMEI 15 (or 14 before its check digit)</source>
        <translation>%1 有 %2 位数字，IMEI 应为 15 位（或不含校验位的 14 位）</translation>
    </message>
    <message>
        <source>The imei of %1th line in excel file is invalid: %2</source>
        <translation>Excel 文件第 %1 行的 IMEI 无效：%2</translation>
    </message>
</context>
<context>
    <name>StationCycle</name>
    <message>
        <source>The version cann&apos;t be empty!</source>
        <translation>版本不能为空!</translation>
    </message>
    <message>
        <source>Write is disabled: the settings file %1 cannot be used: %2</source>
        <translation>写入已禁用：设置文件 %1 无法使用：%2</translation>
    </message>
    <message>
        <source>No handset on the port: the write is dropped.</source>
        <translation>端口上没有手机：本次写入已取消。</translation>
    </message>
    <message>
        <source>The first two digits of BT must be even number,please check!</source>
        <translation>蓝牙地址的前两位必须是偶数，请检查!</translation>
    </message>
    <message>
        <source>The length of %1 is not enough!</source>
        <translation>%1 的长度不够!</translation>
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
        <translation>蓝牙地址: %1 </translation>
    </message>
    <message>
        <source>had  been successfully written to flash!</source>
        <translation>已成功写入闪存!</translation>
    </message>
    <message>
        <source>Reading is successful!</source>
        <translation>读取成功!</translation>
    </message>
    <message>
        <source>Version read successful!</source>
        <translation>版本读取成功!</translation>
    </message>
    <message>
        <source>Version is %1 in flash!</source>
        <translation>闪存中的版本为 %1!</translation>
    </message>
    <message>
        <source>empty</source>
        <translation>空</translation>
    </message>
    <message>
        <source>Can&apos;t do pressure test when including version checking!</source>
        <translation>包含版本检查时不能进行压力测试!</translation>
    </message>
    <message>
        <source>The handset changed in the start delay: the write is dropped.</source>
        <translation>启动延时内手机已更换：本次写入已取消。</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>You have already run an application.</source>
        <translation>程序已经在运行。</translation>
    </message>
    <message>
        <source>The folder %1 cannot be written by this account, so the settings, histories and logs could not be saved. Ask the line engineer to add this account to the group %2 (then log in again), or to name a writable folder in %3.</source>
        <translation>当前账户无法写入文件夹 %1，因此无法保存设置、历史记录和日志。请线体工程师把该账户加入 %2 组（然后重新登录），或在 %3 中指定一个可写的文件夹。</translation>
    </message>
</context>
</TS>
