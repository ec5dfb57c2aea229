<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
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
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>IMEI2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>IMEI3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>IMEI4</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MBSN</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PSN</source>
        <translation type="unfinished"></translation>
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
        <source>%1 isn&apos;t exist!</source>
        <translation>%1 不存在!</translation>
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
</context>
<context>
    <name>FPDoverARizWorker</name>
    <message>
        <source>Stop ...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stop exited</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unable to open port %1: no handset answers there, or the port is in use</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unable to prepare the handset on port %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close port %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Init flash information ...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Check flags failed!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Read cycle: the factory data is not initialised</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Read cycle: the factory reset is skipped</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unable to get flash info from device: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Flash model is unknown</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Factory base and size are unknown</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unable to get chip ID: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unsupported chip</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unable to determine ramrun lod file name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ramrun lod file %1 not exist</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unable to load ramrun lod file %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Begin to read information from flash ...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Invalid station setting magic</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed to read factory data from device: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Check flags ...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed to check station!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Missing station: %1!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed station: %1!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Init factory data ...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>FactoryReset ...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Programmer is nullptr</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The address of user data is invalid</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Factory reset successfully!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Factory reset failed!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Write flag ...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed to write station flag %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed to update factory data</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed to get version!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The version does not match, its value is %1 in flash !</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Version checking successful!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Writing station is  failed!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>IMEI%1 is invalid,you can use %2,please check!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set IMEI%1 failed!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unable to record the IMEIs in %1; the handset is not written</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>write MBSN error!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>write PSN error!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>write BT error!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unable to record %1 in %2; the handset is not written</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Writing data to flash...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Writing is  failed!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Writing is successful.</source>
        <translation type="unfinished"></translation>
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
</context>
</TS>
