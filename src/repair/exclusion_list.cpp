#include "repair/exclusion_list.h"

#include "repair/ansi_case.h"
#include "repair/pattern_matcher.h"

namespace {

// As written; NormalizeExclusionEntry gives the stored form.
const char* const kEntries[] = {
    // Shell namespace folders, whose registrations look broken to every check, and the updater library.
    "{20D04FE0-3AEA-1069-A2D8-08002B30309D}", "{645FF040-5081-101B-9F08-00AA002F954E}",
    "{208D2C60-3AEA-1069-A2D7-08002B30309D}", "{21EC2020-3AEA-1069-A2DD-08002B30309D}",
    "{2227A280-3AEA-1069-A2DE-08002B30309D}", "{450D8FBA-AD25-11D0-98A8-0800361B1103}", "Patchwell.dll",
    // Office object identifiers, media file types and vendor folders.
    "{00022603-0000-0000-C000-000000000046}", "MIDFile", "AVIFile", "{00022602-0000-0000-C000-000000000046}",
    "SafeIT", "\\lavasoft", "\\pctools", "\\webroot", "\\zoombli", "\\softwareonline", "\\xeriton", "\\brother",
    // System components, security products, mail and script file types.
    "\\msxml", "\\msdraw", "advanced inf setup", "\\msidxs", "\\{e4b28371", "\\{ff160650", "\\microsoft.",
    "\\msttseng", "\\termmgr.", "\\wbem.", "\\msitfs", "\\devmgr", "\\nav", "\\norton", "Security", "Update",
    "Frontpage", "\\Symantec", "NavScanFile", "{7C4A248B-0FD7-4ED9-8365-B93ECACB9CCE}",
    "{3050f4f8-98b5-11cf-bb82-00aa00bdce0b}", "Outlook", "MailFileAtt", "mapifvbx.object",
    "{0006F083-11D3-B8AF-00105A19CDC6}", "Microsoft\\Exchange", "{9EFBF860", "{188a4c39", "{bb784125",
    "Access.OLE2Link", "msdds.dll", "\\Environment", "\\msn", "\\outlook", ".hta//winme help error", ".htc",
    ".net", "\\assembly", "htafile", "htcfile", "batfile", "cmdfile", "comfile", "exefile", "default.hta",
    "CachePath", "Admin",
    // Setup and boot values, system folders and file extensions.
    "Boot", "I386", "Java VM", "\\setup", "setupx", "VarLDID", "Kernel", "macromedia flash", "vxd",
    "OldWinBootDir", "UninstallDir", "BackupDir", "explorer.exe", "Internet Explorer", "InstallSource",
    "\\Repair", "\\Microsoft Office", "Msocache", "Msicache", "mspaint.exe", "\\.arx", "\\.ast", "\\.hta",
    "\\.htc", "\\.manifest", "\\.net", "\\.PDF", "\\.sys", "\\.url", "\\.vxd", "\\.exe", "\\.com", "\\.lnk",
    "\\{e4b28371", "\\{ff160650", "\\drivers\\", "\\hardware\\", "\\hewlett-packard\\digitalimaging",
    "\\hewlett-packard\\hpz\\", "\\inetsrv\\",
    // Document types and application folders.
    ".pcj", ".doc", "docfile", ".xls", "xlsfile", ".ppt", "pptfile", ".pst", "pstfile", "\\microsoft\\excel\\",
    "\\microsoft\\outlook\\", "\\microsoft\\money\\", "\\microsoft\\office",
    "\\microsoft\\windows media device manager", "\\microsoft\\word\\", "outlook", "\\publisher", "\\msdraw",
    "\\msidxs", "\\msxml", "\\network\\", "\\ODBC\\", "\\security\\", "\\setup\\", "\\tracing\\",
    // Class identifiers and identifier fragments.
    "{3DA165B6-CC41-11d2-BDC6-00C04F79EC6B}", "{A623BDA1-8744-4974-AFAC-5568D44F890C}",
    "{00021401-0000-0000-c000-000000000046}", "{0006f083", "0006f083-11d3-b8af-00105a19cdc6",
    "{0D452ee1-e08f-101a-852e-02608c4d0bb4}", "{188a4c39", "{2272ae7a-0c30-48e1-91df-f9e666276c0c}",
    "{28d557d9-9f72-4a93-87c2-8a0d7dcea0cd}", "{29ff67ff-8050-480f-9f30-cc41635f2f9d}",
    "{3050f4f8-98b5-11cf-bb82-00aa00bdce0b}", "{3e4e1b80-781c-11d3-9c30-00c04fb59d98}",
    "{4498e2c0-8f1f-41d0-adb3-c00b2e43ff59}", "{4810a750-4318-11d0-a5c8-00a0c922e752}",
    "{53362c32-a296-4f2d-a2f8-fd984d08340b}", "{549b5ca7-4a86-11d7-a4df-000874180bb3}",
    "{65014010-9f62-11d1-a651-00600811d5ce}", "{6f66ddad-fc5d-41ac-9d4e-0be553e7e618}",
    "{70b51430-b6ca-11d0-b9b9-00a0c922e750}", "{7c4a248b-0fd7-4ed9-8365-b93ecacb9cce}",
    "{8298d101-f992-43b7-8eca-5052d885b995}", "{89e30300-764d-11d0-b282-00a0c90f56fc}",
    "{90280409-6000-11d3-8cfe-0050048383c9}", "{9efbf860", "{a4c4671c-499f-101b-bb78-00aa00383cbb}",
    "{a9cc9305-0a30-4015-92a0-0711ee24e720}", "{a9e69612-b80d-11d0-b9b9-00a0c922e750}", "{bb784125",
    "{bbc3e9e0-6f97-11d3-83b7-00805f4b2398}", "{bc87773a-5476-41c5-83cc-d79c92cb64c0}",
    "{be2df74c-bdc0-4411-9641-4b811b82a3af}", "{c1aa48c0-facc-11cf-9d1a-00aa00a70d51}",
    "{c3edea8d-ce3f-4af2-a883-2069306215ba}", "{c49f2184-50a7-11d3-9144-00104ba11c5e}",
    "{d2670018-a8ea-f4a3-f586-aafab396bb1a}", "{d26f1500-f14e-4552-bd7a-cd22d15bd64a}",
    "{d2a2f5f2-eba6-11cd-af37-02608ca1d0b7}", "{dcd53c71-6fa1-11d3-83b7-00805f4b2398}",
    "{e6f787c2-c759-4403-b1bd-9359cb96eb04}", "{e8fb8614-588f-11d2-9d61-00c04f79c5fe}",
    "{eec2dafd-5558-40ac-8e9c-5005c8f810e8}", "{f612954d-3b0b-4c56-9563-227b7be624b4}",
    "{F9DB5320-233E-11D1-9F84-707F02C10627}", "{fdd3b846-8d59-4ffb-8758-209b6ad74acc}",
    "{3201590C-8C63-4558-8142-82C29FC695E9}", "{53CED51D-432B-45b2-A3E0-0CE2C24235D4}",
    "{218CB45F-20B6-11d2-8E17-0000F803A446}", "{57A0E746-3863-4D20-A811-950C84F1DB9B}", "-11d3-", "-11d3-83b7",
    "-11d3-8b2d", "-11d3-9c30", "-11d3-b8af-00105a19cdc6", "2272ae7a-0c30",
    // Lower-case component, product and path names; the last three are one security suite's keys..
    "3dsetup", "3e4e1b8d-781c-11d3-9c30-00c04fb59d98", "access.ole2link", "acroexch.document",
    "active setup temp folders", "advanced inf setup", "aff0fe9f-ca4f-4020-9d22-b0e9790f01d6", "agtinst.inf",
    "alg.algsetup", "altiris", "autocad", "backupdir", "batfile", "cae323c3-7fe8-11d3-8b2d-005004d71baf",
    "client recovery agent", "cmdfile", "comfile", "default.hta", "dragent.dragent", "drivers", "e6155314c16a",
    "exefile", "explorer.exe", "FireWall", "formfill", "frontpage", "history.ie", "hp scanjet", "htafile",
    "htcfile", "islalert", "itsprotocol", "java vm", "java\\classes", "jtpfile", "kernel", "mailfileatt",
    "mailui.dll", "mapifvbx.object", "\\mcafee", "messenger.msgrsessionmanager", "microangelo",
    "microsoft office", "microsoft.net", "microsoft.vswizards", "microsoft\\cryptography\\oid",
    "microsoft\\exchange", "microsoft\\imapi\\stashinfo", "microsoft\\speech\\recognizers", "nav",
    "NetMeeting\\control panel", "niscfgwiz", "nismediator", "norton", "oldwinbootdir", "repair", "security",
    "services\\vxd", "software\\autodesk\\autocad", "software\\hewlett-packard\\hpz\\", "software\\lexmark",
    "software\\microsoft\\windows nt\\currentversion\\aedebug",
    "software\\microsoft\\windowsnt\\currentversion\\systemrestore", "software\\odbc", "SOFTWARE\\Policies",
    "SOFTWARE\\Wow6432Node\\Policies", "swplugin", "symantec", "syntpplugins", "sysmonlogmanager",
    "system\\currentcontrolset\\control", "system\\currentcontrolset\\services", "termmgr.",
    "the bat!\\mail\\smimernd.bin", "tnslsnr", "tracing", "tslv.tslv", "uninstall information\\",
    "uninstall\\directdrawex", "uninstall\\dxm_runtime", "uninstall\\fontcore", "uninstall\\icw",
    "uninstall\\ie40", "uninstall\\ie4data", "uninstall\\ie5bakex", "uninstall\\iedata",
    "uninstall\\microsoft netshow player", "uninstall\\mobileoptionpack", "uninstall\\mplayer2",
    "uninstall\\msjavavm", "uninstall\\mstask", "uninstall\\netmeeting", "uninstall\\schedulingagent",
    "uninstall\\vgx", "uninstalldir", "varldid", "windows media device manager",
    "windows\\currentversion\\setup", "wmppublsihcntr.wmppublsihcntr", "wmpshell.hweventhandler",
    "fwui.varbstr.col", "islalert", "niscfgwizdll", "{cae323b1-7fe8-", "{01ed40c5-78a0", "{a9cc9305-0a30",
    "arpcache\\msdn", "netmeeting", "fontcore", "dxm_runtime", "directanimation", "mplayer", "\\msdn",
    "microsoft device em", "directdraw", "addressbook", "incredimail", "yahoo", "aol", "iedata", "msjavavm",
    "safeguardian.com", "\\safeguardian.com", "software\\wow6432node\\safeguardian.com",
    // Application-management, class, interface and type-library paths and identifiers.
    "CurrentVersion\\App Management\\ARPCache", "AppID\\{FCA7EB04-D708-11D3-BBAE-0050DA276194}",
    "CLSID\\{00E9F275-1525-4fd3-8CEE-6BAF5B4A4B4A}", "CLSID\\{44C8EC50-93BD-4633-9A82-CA0D4F1DD3A7}",
    "CLSID\\{E9BC70A8-D70C-11D3-BBAE-0050DA276194}",
    "Component Categories\\{12A4DA65-C409-41AF-8759-3D51A438E026}",
    "Component Categories\\{C535D6AD-3FBB-4F39-B60E-34B9187D8D54}", "IncrediContent",
    "IncrediImport.IncrediMailImporter", "IncrediLicense", "IncrediMail", "IncrediMessage",
    "Interface\\{133483C3-5BAB-45DD-94EE-1857CB47C6E5}", "TypeLib\\{00E677A7-A7A5-4819-9580-1681BE30E28E}",
    "Software\\IncrediMail", "Software\\Netscape\\Netscape Navigator\\Viewers",
    "SOFTWARE\\Classes\\Interface\\{133483C3-5BAB-45DD-94EE-1857CB47C6E5}",
    "SOFTWARE\\Classes\\TypeLib\\{00E677A7-A7A5-4819-9580-1681BE30E28E}", "SOFTWARE\\Clients\\Mail",
    "SOFTWARE\\SoftwareOnline", "SOFTWARE\\Software Online", "SOFTWARE\\Systweak",
    "SOFTWARE\\EliaShim\\Protect\\Browsers",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\IncrediMail", "fwUI.VarBstrCol", "IoutlookPlug",
    "A9CC9305-0A30-4015-92A0-0711EE24E720", "NISPlug", "CAE323B1-7FE8-11D3-8B2D-005004D71BAF", "IwinPWDSvc",
    "01ED40C5-78A0-496c-93F3-CF449D18078A", "VarBstrCol", "MPlayer2", "SharePoint.", "ATLService.sy",
    "ATLService.n", "ATLService.XLInit", "IOutlookPlug", "{A9CC9305-0A30-4015-92A0-0711EE24E720}",
    "{4A3451BE-99E0-476C-AE7F-C2A5671AC22E}", "IWinPwdSvc", "{01ED40C5-78A0-496c-93F3-CF449D18078A}",
    "{5C66E8D6-FA42-4172-A0E7-F1591EAD43EB}", "IAlgSetup", "{A779AF1A-009A-4C44-B9F0-8F0F4CF2AE49}",
    "{43E734CA-043D-4A70-9A2C-A8F254063D91}", "Vmappsdk.QuickSwitchToolbarCt", "Srdrv1.SREngine",
    "{44EC0535-400F-11D0-9DCD-00A0C90391D3}", "{56D04F5D-964F-4DBF-8D23-B97989E53418}",
    "{3B7C8863-D78F-101B-B9B5-04021C009402}", "{2F42C683-C6A4-11D0-93E9-00AA0064D470}",
    "{38E6F584-0767-11D3-9AA9-00C04F79EFC3}", "{773F1B9A-35B9-4E95-83A0-A210F2DE3B37}",
    "{831FDD16-0C5C-11D2-A9FC-0000F8754DA1}", "{648A5603-2C6E-101B-82B6-000000000014}",
    "{5B87B6F0-17C8-11D0-AD41-00A0C90DC8D9}", "{5F847504-3E17-11D3-BABB-00C04F72FB4E}",
    "{2DF8D04C-5BFA-101B-BDE5-00AA0044DE52}", "{3C4F3BE7-47EB-101B-A3C9-08002B2F49FB}",
    "{7629CFA2-3FE5-101B-A3C9-08002B2F49FB}", "{CAE323B1-7FE8-11D3-8B2D-005004D71BAF}",
    "{C7310691-AC80-11D1-8DF3-00C04FB6EF4F}", "{C7310692-AC80-11D1-8DF3-00C04FB6EF4F}",
    "{C9DD4A56-47FB-11D2-83E7-00C04F9902C1}",
    // Media, archive and viewer components.
    "disasterrecovery", "vcecominterfaces", "vjupgradeenginelib", "cddbcontrolroxio",
    "{612DE685-FCC5-11D1-8A36-00A0C9B82ABC}", "{B0AC6ABA-AB35-4AEE-8D3D-6C55FA34F6A9}",
    "{1C6E0E46-4E5F-492D-B946-44291B931361}", "macromediaflash", "FlashFactory", "\\ShockwaveFlash", "\\winrar",
    "\\winzip", "\\quicktime", "shellex64", "\\Nvdmcpl", "\\CLUADMEX", "\\VisShe.", "\\DirectAnimation",
    "\\ELMFile", "\\STFFile", "\\microsoft.", "\\VSTA_IP.", "\\XPSViewer", "\\CompressedFolder",
    "\\Tahoe.FolderControl", "\\InfoPath.", "\\OPCFile", "\\OneNoteMobile.", "\\OneNote.", "\\VSTA.",
    "\\urn:content-classes:", "FlashProp.FlashProp",
    // Program file names.
    "acrobat.exe", "acrobatinfo.exe", "acrodist.exe", "ccapp.exe", "cmmgr32.exe", "conf.exe", "devenv.exe",
    "dexplore.exe", "excel.exe", "firefox.exe", "formdesigner.exe", "groove.exe", "iexplore.exe",
    "illustrator.exe", "imageready.exe", "inetwiz.exe", "infopath.exe", "isignup.exe", "luall.exe",
    "mplayer2.exe", "msaccess.exe", "msimn.exe", "msinfo32.exe", "msnmsgr.exe", "msohtmed.exe", "msoxmled.exe",
    "mspub.exe", "mspview.exe", "newsrover.exe", "ois.exe", "onenote.exe", "outlook.exe", "photoshop.exe",
    "powerpnt.exe", "quicktimeplayer.exe", "quicktimeupdater.exe", "spdesign.exe", "vcspawn.exe", "visio.exe",
    "vmware.exe", "vpc32.exe", "vptray.exe", "vsaenv.exe", "vsta.exe", "wab.exe", "wabmig.exe", "winnt32.exe",
    "winproj.exe", "winrar.exe", "winword.exe", "wmplayer.exe", "wordpad.exe", "xpsviewer.exe",
    // Document handlers, system paths and interface keys.
    "\\AcroExch.Document", "\\.PDF", "{e357fccd-a995-4576-b01f-234630154e96}",
    "{777BA811-2498-4875-933A-3067DE883070}", "\\Software\\Microsoft\\DirectPlay\\Services",
    "\\Software\\Microsoft\\Shared Tools\\Text Converters\\",
    "\\Software\\Microsoft\\Windows\\CurrentVersion\\RenameFiles",
    "\\Software\\Microsoft\\Windows Search\\Gather\\Windows\\SystemIndex",
    "\\System\\CurrentControlSet\\Control\\Session Manager\\SubSystems", "\\SOFTWARE\\WMP.PlayCD\\shell\\Play",
    "{30c3f6cd-98b5-11cf-bb82-00aa00bdce0b}", "\\RTCCore.RTCClient", "\\Plenoptic.Plenoptic",
    "\\Microsoft\\Cryptography\\OID", "\\ADMWPROX.DLL", "\\Interface\\{E6F787C2-C759-4403-B1BD-9359CB96EB04}",
    "\\Interface\\{29FF67FF-8050-480f-9F30-CC41635F2F9D}",
    "\\Interface\\{70B51430-B6CA-11D0-B9B9-00A0C922E750}",
    "\\Interface\\{8298d101-f992-43b7-8eca-5052d885b995}",
    "\\Interface\\{A9E69612-B80D-11D0-B9B9-00A0C922E750}",
    "\\Interface\\{f612954d-3b0b-4c56-9563-227b7be624b4}",
    // Application folders.
    "\\Act!", "\\App Launcher", "\\camerapath", "\\Copernic", "\\CyottoMi", "\\Dash", "\\Data Becker",
    "\\dfrg.msc", "\\Databe~1", "\\enable.dvd", "\\Fleet Command", "\\Gravity", "\\HotBar", "\\IconPackager",
    "\\idapinst.dll", "\\IE Zone Editor", "\\ImageDB", "\\Microsoft\\Speech\\Recognizers", "\\Pact Software",
    "\\Picture It!", "\\PCForrest", "\\ScanSys", "\\ShellFind", "\\Signal9", "\\Stardock", "\\Speed Disk",
    "\\PalTalk", "\\:\\Fragmented Files", "\\Talk-n-Mail", "\\The Digital Village", "\\Trellix", "\\WeatherBug",
    "\\WinFax", "\\Visual Favorites", "\\JawsSystems\\PDFCreator\\Configuration",
    // Library and program files.
    "\\axdb16.dll", "\\AcETransmit.dll", "\\AcFocusCtrl16.dll", "\\AcInetUI.dll", "\\AcMPolygonCOM.dll",
    "\\AcProject16.dll", "\\AcStDStyle.dll", "\\AcStLay.dll", "\\AcStLtype.dll", "\\AcStMgr.dll",
    "\\AcStTStyle.dll", "\\AcTc.dll", "\\AdFTP.dll", "\\Assist.exe", "\\cao16.dll", "\\csp16.dll",
    "\\ProjectPointClient.dll", "\\WSCommCntrUI1.dll",
    // System settings paths, vendor folders and identifiers.
    "\\explorer\\User Shell Folders", "\\Microsoft\\IMAPI\\StashInfo", "\\Services\\VxD\\MSTCP",
    "\\Control\\ContentIndex\\Catalogs\\System", "\\Autodesk\\AutoCAD",
    "\\CONTROL PANEL\\DESKTOP\\CONVERTEDWALLPAPER", "\\EXPLORER\\MENUORDER\\FAVORITES\\WEB DESIGN", "\\PERKELE",
    "\\.default\\control panel\\desktop\\convertedwallpaper", "\\System\\CurrentControlSet\\Services\\Sr",
    "\\System\\CurrentControlSet\\Services\\Srservice", "\\System\\CurrentControlSet\\Services\\Winsock",
    "\\Microsoft\\Windows NT\\CurrentVersion\\SystemRestore", "\\Software\\Lexmark",
    "\\Microsoft\\Windows NT\\currentVersion\\AeDebug", "\\MSFSStore", "\\MSITStore",
    "\\RoxioPhotoSuite\\Project\\Locations\\", "\\Wow6432Node\\jtpfile", "\\Microsoft Windows Journal Viewer\\",
    "\\SOFTWARE\\Policies\\", "\\SOFTWARE\\Wow6432Node\\Policies\\", "\\Roxio\\D", "\\RxSBDViewEx.SBDGroupCtrl",
    "\\Roxio\\MediaFramework\\Directories", "{7495CF57-E208-4DF0-A8C5-9E17ECC51490}", "\\RoxioDVDLVM",
    "\\RoxioDVDLogicalVolumeManager", "\\LVM Logical Volume Manager",
    "\\Software\\Microsoft\\Windows Media Device Manager", "\\Software\\Roxio\\MediaFramework\\Directories",
    "\\Software\\Macromedia\\", "\\FlashFactory.FlashFactory", "\\MacromediaFlashPaper.MacromediaFlashPaper",
    "\\ShockwaveFlash.ShockwaveFlash", "{D27CDB70-AE6D-11cf-96B8-444553540000}", "\\Hewlett-Packard\\HPZ\\",
    "\\Hewlett-Packard\\DigitalImaging", "\\Microsoft.InformationCard", "\\Microsoft\\Word\\",
    "\\Microsoft\\Excel\\", "{AFF0FE9F-CA4F-4020-9D22-B0E9790F01D6}",
    "\\SOFTWARE\\Microsoft\\Office\\Delivery\\SourceEngine", "{06DD38D3-D187-11CF-A80D-00C04FD74AD8}",
    "{188a4c39-df85-4881-8c94-29b69c307ecf}", "{90110409-6000-11D3-8CFE-0150048383C9}", "\\Microsoft\\Money",
    "\\quicken", "\\turbotax", "\\turbo tax", "\\Microsoft\\Exchange", "6000-11D3-8CFE-0150048383C9",
    "{9EFBF860-5685-11D3-AA3D-00C04F4C5275}", "{bb784125-ea2c-4aab-862f-8191a7440fa0}", "\\seal.dll",
    "\\msnmetal.dll", "\\navaps", "\\navui", "\\naverror", "\\navui.dll", "FREIntegrator",
    "{28D557D9-9F72-4A93-87C2-8A0D7DCEA0CD}", "NSCFrame", "NSCPluginProduct", "NSCHomeCategory", "Norton",
    "{E704BD33-6AB6-4981-871B-1D64E78DD1E9}", "NAVComUI", "LuCallback", "{454E64D6-28AA-4539-BE09",
    "4CC0C3345D33}", "{DE54081F-08ED-44AE-AE80-13DEAA19A44A}", "{CAE323C3-7FE8-11D3-8B2D-005004D71BAF}",
    "{3E4E1B8D-781C-11D3-9C30-00C04FB59D98}", "{CAE323B1-7FE8-11D3-8B2D-005004D71BAF}",
    "{3E4E1B8D-781C-11D3-9C30-00C04FB59D98}", "{DCD53C71-6Fa1-11D3-83B7-00805F4B2398}", "2272AE7A-0C30",
    "\\ORACLE\\", "\\Software\\Winsock2\\PAV Layered Provider", "\\Software\\Microsoft\\RSSearch\\",
    "\\RSSearch.CustomWordbreaker", "\\wdsShell.WDSCalendar", "{36563653-76FC-4EBA-ACC0-2F53457C1D96}",
    "\\Corel\\Graphics\\10\\Location of Files", "\\Corel\\User Assistant\\10\\Settings\\Project Folders",
    "\\.AST\\", "\\corelwthst\\", "\\corelwtuwl\\", "\\PerfectExpertDB\\DefaultIcon",
    "{6A89524B-E1B6-4D71-972A-8FD53F240936}", "{ECF21EAB-3AA8-4355-82BE-F777990001DD}",
    "{37294E01-DB54-43AF-9D50-93FF7267DF5D}", "{CF7C3CE2-4B15-11D1-ABED-709549C10000}",
    "{ACB27D7C-76ED-46CB-BE8C-E831839F29DA}", "{CCB56A12-86CE-41DB-8320-376611A2F667}",
    "{1C13629E-23C5-4A3F-AE92-2E6350ABDC81}", "{0A398EE6-277C-480D-BD4F-3288EA3AB8E2}",
    "{9828129C-6EE8-4ae7-BA58-F8B2FA3BED70}", "{9ECB9560-04F9-4bbc-943D-298DDF1699E1}",
    "{72E492DD-B841-4D9C-8EBC-3BAC9711F6E5}", "{7CA87530-E5EB-4B82-92DB-6299B2116A0A}",
    "{3D975EF4-F5AF-4B9A-AF62-BB8616BF0C50}", "{74C90354-7254-4F45-A9B3-CB28DC16931F}",
    "{67B81FA9-84AB-4779-9CF8-D7A0DEB91298}", "{FFA6F3AA-2B29-4EA0-ABB0-C8C5EE9D3871}",
    "{93156B26-5354-474E-BD56-C2CEB190C4F5}", "{0E1CDAA7-9F9E-4BD2-A9A8-46E6F9082ED2}",
    "{62F84090-A87D-4fa9-BF65-2AAB91B61CE5}", "{1708F2CA-DCD5-4492-8260-FC9F58358478}",
    // Print, shell, file-type, service and security-suite entries.
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Providers\\LanMan Print Services\\Servers",
    "COMPLUSMETADATA.MSCORHOST", "CONNECTION MANAGER PROFILE", "HEADERFOOTER.HEADERFOOTER", "HTMLFILE\\",
    "MHTMLFILE\\", "SYMWRITER", "WBEMCOMCONNECTION", "XMLFILE\\", "XSLFILE\\",
    "Declined Install On Demand IEv5", "\\ACTIVE SETUP\\", "Services\\IpFilterDriver", "Services\\MpFilter",
    "Services\\MSFW", "Services\\MSFWDrv", "Services\\MSFWHLPR", "Services\\msfwsvc", "Services\\OneCareMP",
    "Services\\PxHelp", "Microsoft\\ESENT\\Process", "DriverStore\\mpfilter", "DriverStore\\msfwdrv",
    "DriverStore\\msfwhlpr", "SOFTWARE\\Microsoft\\Updates\\Windows", "SOFTWARE\\Microsoft\\EventSystem",
    "{1EB06D67-16AD-4E08-82D7-22A7B7C468C3}", "{87905465-C0DA-45ee-8015-02BE639FB435}",
    "{A1E30BDE-E2AC-48d0-AA64-BBF63F0BDE8F}", "MaintenanceDiskCleanupServ.EXE", "Providers.DLL",
    "WinSSWebAgent.DLL", "BACKUPENGINE.BackupEngine", "{06A81CEC-6821-4ab7-BA9B-12E01E136AA6}",
    "{597F0032-FD2E-4962-9C0E-1A3F0F2FD191}", "{74F777F9-6EB9-4939-9707-C5026A1FAB6F}",
    "{882C09F9-FE0A-4881-812E-F7B2366FE3D8}", "{919C671F-629D-451f-90CD-A06CEE72D64F}",
    "{A1E309DF-E2AC-48d0-AA64-BBF63F0BDE8F}", "{BE79B9C8-9791-41d3-9267-C4123AC0AEAE}",
    "{E2609C67-49AF-439f-B3E6-C24FF472DB36}", "Component Categories\\{16E6DB1D-94CF-4945-871F-CE9FB746555D}",
    "Drive\\shellex\\ContextMenuHandlers\\AntivirusShlExt", "4B7FC59380EB6514791EAEA175F0EA77",
    "6030E61781384634B8F8C04C9E73B6CA", "9196B1C16D00C9A49B39E18FF2595603", "968E3156F746DF045AD5FC9C52979BAB",
    "E22006652F3F6214C85C79624C1705BE", "E741158319A59644ABD431FFCF8C9A02", "E7E8A70D423D5494ABC85E23DA00F83F",
    "4B7FC59380EB6514791EAEA175F0EA77", "6030E61781384634B8F8C04C9E73B6CA", "9196B1C16D00C9A49B39E18FF2595603",
    "968E3156F746DF045AD5FC9C52979BAB", "E22006652F3F6214C85C79624C1705BE", "E741158319A59644ABD431FFCF8C9A02",
    "E7E8A70D423D5494ABC85E23DA00F83F", "1ECB2791569889041966B3AE18B8F0EF", "4CDAC858035ECE3449ED653DD1AC3164",
    "951AF60498AAAA641BBD9E0673392E6A", "BE33170C794B51A45B0FEFE9D7D4BB94", "EA58AE077B617FA4BA798493E1C4E1D2",
    "\\Installer\\Win32Assemblies\\Global", "{1572EA51-2E25-4E62-8C8D-07FE2FC703AE}",
    "{597F0032-FD2E-4962-9C0E-1A3F0F2FD191}", "{A1E308E2-E2AC-48d0-AA64-BBF63F0BDE8F}", "OneCare.",
    "{16980B75-6025-435C-92EA-51AB38365A98}", "{615B6FA5-128D-4A94-88DB-C79CE78333B5}",
    "{6D6AE2EE-FF7A-416E-A161-55F35A78E88A}", "{A1E30ADE-E2AC-48d0-AA64-BBF63F0BDE8F}",
    "WinssProvDll.AntiVirusProvider", "WinssProvDll.BackupProvider", "WinssProvDll.MaintenanceProvider",
    "WinssProvDll.NetworkSecurityProvider", "WinssProvDll.SecuritySettingsProvider",
    "WinSSWebAgent.Controller{1C1B6919-00D6-4A9C-B993-1EF82F956530}", "{1C1B6919-00D6-4A9C-B993-1EF82F956530}",
    "{3851147E-5A91-4469-BA4D-13FFFCC8A920}", "{395CF7B4-BE08-4156-97E1-EA1A570FAE77}",
    "{5660022E-F3F2-4126-8CC5-9726C47150EB}", "{6513E869-647F-40FD-A55D-CFC92579B9BA}",
    "{716E0306-8318-4364-8B8F-0CC4E9376BAC}", "{D07A8E7E-D324-4945-BA8C-E532AD008FF3}", "OneCare Live",
    "OneCare Protection", "Protection Service", "{C9C05A42-D571-4B3C-8F11-D6D6A81C90EB}",
    "{BEEDEB31-5B44-46eb-A004-2675DD094E2F}", "{6B5AD95D-2729-49EF-88B0-B2CBF1161EC1}",
    "{9A8F3979-D2DD-4b4a-949E-B70CCE2DC4AA}", "{6B5AD95D-2729-49EF-88B0-B2CBF1161EC1}", "HTMLFILE",
    "FULLWINDOWEMBED", "BROWSEINPLACE", "SURFBOARD.", "{68213E0D-E2B5-43D8-9683-080885FB7E24}",
    "{6B5AD95D-2729-49EF-88B0-B2CBF1161EC1}", "{BEEDEB31-5B44-46EB-A004-2675DD094E2F}",
    // Further vendors, products and identifiers.
    "\\money", "ComputerAssociates", "\\Dell ", "\\Dell\\", "microsoft money", "connection manager profile",
    "googledesktop.", "googletalk.", "scansrv.", "Hewlett-Packard", "acropdf.", "msmail.", "office.",
    "{1BF6CB2D-2AE0-4879-A7AA-A75834FBD0E3}", "{5697942D-8A7C-426d-B2BE-CD43C00765AC}",
    "{A4199E55-EBB9-49E5-AF1A-7A5408B2E206}", "{6EF8E539-12E9-4595-A7C6-3DDA8A4069B2}",
    "{DE2069CF-2AE3-4057-B17F-0206317935E3}", "{E28EE682-E406-4254-8CEB-736616138E89}",
    "{F969D287-C839-43c2-97AB-E4B03FB3474D}", "{222456BE-755F-4859-B547-FC366F22CB82}",
    "{910EC5DD-BD74-4B82-8394-926ED2D993A5}", "WLANImportFile", "WLIHVUI.IntelDOT11", "\\software\\intel",
    "WBEMComLocator", "SonicStage", "Sony Corporation", "OpenMG_M4a", "CDDBControlSony",
    "{A7215BC3-0BEF-454A-9CC9-5896AD7AD682}", "{F505B799-CD67-4ECC-AE43-49CA5395ED19}",
    "{4D692D2E-8035-3338-368E-5B7F6F895B8B}", "\\ZoneLabs", "\\Zone Labs", "kaspersky", "cisco",
    "Session Manager\\Environment", "\\WebRoot", "SpySweeper", "\\InternetSettings\\", "NewTech Infosystems",
    "{1AD2CB67-D1CD-4253-8F60-E223DD118D5D}", "{6841760D-68BE-4C62-AE77-AB2AA4F7818E}",
    "{34FE8786-AFDA-4AF1-A1EA-2BD3F5DFA11D}", "D6159E936489F6E479C9B882EBEC1940",
    "{6EE4DCBB-CE99-4994-A12A-242CEBDD691C}", "{1A9D7D6D-6041-471B-B7BB-3E446DD8CA60}", "mvbasictext",
    "2a9fc36d-364d", "81fa39e8-8c74", ".bwp", "bwpfile", "Data Fellows", "DataFellows", "F-Secure",
    "{80E9F7A7-1DB1-4DAF-8110-1AE4341DB193}", "{1DD48BFE-26E6-11D9-AA4A-00065B846093}",
    "{6AA36298-AF5F-42fc-9957-417E01141D52}", "{8257D1D6-AC65-462B-9465-3F904518AF85}",
    "{A9ADADC2-0D22-49fd-A666-44692DF53423}", "{D0A03AD0-F49C-4e01-9C1D-CA3B7B73B08E}",
    "{D1E5FD88-3953-4780-8F30-3FA2EC573425}", "{FBAA5B17-1739-403B-BF39-D6060DA0B6F3}",
    "{BB39AFF7-5937-49A2-A5FE-04A466E4BC27}", "PodPhotoLibrary", "vpngui",
    "{729BB3D4-7ECB-4A21-BCAC-BB0A52B44838}", "{05630408-223E-4F9D-9AD7-B0AC397574FD}",
    "{84EEA60F-C2C0-4C02-8295-0666F6A754DF}", "{92EAA7CC-2A87-4F96-A8DD-F87F77AF9232}", "microsoft digital",
    "microsoft pic", "microsoft pub", "ulead", "{14E90026-66B8-4D2D-9DB8-AEE792CFD37F}",
    "10EF951A-3138-43CC-B3B4-8C2C2EDA2936", "58FC39EB-9DBD-4EA7-B7B4-9404CC6ACFAB",
    "D597FAD1-5B9F-11D1-8DD2-00AA004ABD5E", "58FC39EB-9DBD-4EA7-B7B4-9404CC6ACFAB",
    "A1E309E1-E2AC-48d0-AA64-BBF63F0BDE8F", "A1E30ADE-E2AC-48d0-AA64-BBF63F0BDE8F", "Ulead Systems",
    "9A3B2A70-F17C-44CF-9963-83487DB174CC", "F10C8C41-65C8-47F0-97BB-23D8717FA053",
    "3C4F3BE3-47EB-101B-A3C9-08002B2F49FB", "7629CFA4-3FE5-101B-A3C9-08002B2F49FB",
    "{7C4E1804-E342-483D-A43E-A850CFCC8D18}", "{EB196614-FB4E-42a2-BA16-8EE5392968F8}",
    "{0ADB5617-AF5C-43cd-A1AD-1F08804BE552}", "{9d095b89-37d6-4877-afed-62a297dc6dbe}",
    "{c686dcee-54f2-419e-9a27-2fc7f2e98f9e}", "{fc4767c1-c8b3-48a2-9cfa-2e90cb3d3590}",
    "{a6c5a715-8c6e-11d2-977a-0000f87a926f}", "{c686dcee-54f2-419e-9a27-2fc7f2e98f9e}",
    "{49EB98D0-2AE4-462b-BAA3-D6F1EEF919F4}", "{F10E0DAF-3EF7-4b39-9945-24BF98957F8A}",
    "{6bdd1fc6-810f-11d0-bec7-08002be2092f}", "{4DB1AD10-3391-11D2-9A33-00C04FA36145}",
    "{192EDB33-396A-4128-8765-3E6FA8A0DDE7}", "\\CCC\\Pages", "MOH.exe", "netwaiting", "BVRP Software",
    "\\ws_ftp", "\\ad-aware", "\\firefoxhtml", "{EB196614-FB4E-42a2-BA16-8EE5392968F8}",
    "{0ADB5617-AF5C-43cd-A1AD-1F08804BE552}", "{9d095b89-37d6-4877-afed-62a297dc6dbe}",
    "{c686dcee-54f2-419e-9a27-2fc7f2e98f9e}", "{fc4767c1-c8b3-48a2-9cfa-2e90cb3d3590}",
    "{a6c5a715-8c6e-11d2-977a-0000f87a926f}", "{c686dcee-54f2-419e-9a27-2fc7f2e98f9e}",
    "{49EB98D0-2AE4-462b-BAA3-D6F1EEF919F4}", "{F10E0DAF-3EF7-4b39-9945-24BF98957F8A}",
    "{6bdd1fc6-810f-11d0-bec7-08002be2092f}", "{4DB1AD10-3391-11D2-9A33-00C04FA36145}",
    // Office and policy paths, control sets, printing and remaining products.
    "Software\\Microsoft\\Office", "Software\\Policies\\Microsoft", "WMVFile\\", "CurrentControlSet\\Control",
    "CurrentControlSet\\Enum", "CurrentControlSet\\Hardware Profiles", "ControlSet001\\Control",
    "ControlSet001\\Enum", "ControlSet001\\Hardware Profiles", "ControlSet002\\Control", "ControlSet002\\Enum",
    "ControlSet002\\Hardware Profiles", "ControlSet003\\Control", "ControlSet003\\Enum",
    "ControlSet003\\Hardware Profiles", "CurrentVersion\\Print", "\\Printers", "\\LimeWire", "\\FedEx",
    "{58FC39EB-9DBD-4EA7-B7B4-9404CC6ACFAB}", "{A138CF39-2CAE-42c2-ADB3-022658D79F2F}",
    "{24800CD0-0F4E-4df7-9F69-3C6903C89224}", "\\Document WordPerfect", "\\WPEDoc", "\\WPSDoc", "\\WordPerfect",
    "\\AccessIBM", "\\vcexpress", "\\visualstudio.launcher", "encarta", "msworld6.exe", "\\NetHood\\",
    "\\PrintHood\\", "\\SOFTWARE\\Brother", "\\Microsoft\\SystemCertificates", "twain_32\\b", "\\.exe",
    "\\.lnk", "lnkfile", "{00021401-0000-0000-C000-000000000046}", "microsoft\\visualstudio",
    "{85D9EEC6-1951-434b-983C-F62FB696C2A5}", "{4774555C-A58C-4106-B127-440473ED2F9C}",
    "{F3591115-C179-4449-8375-44CEA57DF2F4}", "{D55E00CB-6A2E-4811-9D70-BC4AF6DAF33A}",
    "{E3E8AAAD-BBE6-4203-A58E-A2E250A022DD}", "{EF05516F-17F6-486A-AF35-F929B008BDC1}",
    "{BDC217C8-ED16-11CD-956C-0000C04E4C0A}",
};

struct EXCLUSIONS {
    std::vector<std::string> entries;
    CPatternMatcher matcher;
};

std::vector<std::string> BuildEntries()
{
    std::vector<std::string> entries;
    entries.reserve(std::size(kEntries));
    for (const char* entry : kEntries)
        entries.push_back(NormalizeExclusionEntry(entry));
    return entries;
}

const EXCLUSIONS& Exclusions()
{
    static const EXCLUSIONS exclusions = [] {
        std::vector<std::string> entries = BuildEntries();
        CPatternMatcher matcher(entries, CAnsiCase::System());
        return EXCLUSIONS{std::move(entries), std::move(matcher)};
    }();
    return exclusions;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

std::string NormalizeExclusionEntry(const std::string& entry)
{
    std::string lowered = CAnsiCase::System().Lower(entry);
    size_t begin = 0;
    size_t end = lowered.size();
    while (begin < end && IsBlank(lowered[begin]))
        ++begin;
    while (end > begin && IsBlank(lowered[end - 1]))
        --end;
    return lowered.substr(begin, end - begin);
}

const std::vector<std::string>& ExclusionList()
{
    return Exclusions().entries;
}

bool PassesExclusionList(const char* text)
{
    return !Exclusions().matcher.ContainsAny(text);
}
