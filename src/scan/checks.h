#pragma once

class CRegistryScanner;

// The category checks. Each walks its part of the registry on the scan worker, reports through
// engine.ReportProblem, announces its places with engine.SendPath and ends its walks as soon as
// engine.StopRequested() is true.

// Class registrations
void CheckComActiveX(CRegistryScanner& engine);
void CheckClassKeys(CRegistryScanner& engine);
void CheckTypeLibraries(CRegistryScanner& engine);

// Software registrations
void CheckUninstall(CRegistryScanner& engine);
void CheckFonts(CRegistryScanner& engine);
void CheckSharedDlls(CRegistryScanner& engine);
void CheckAppPaths(CRegistryScanner& engine);
void CheckHelpFiles(CRegistryScanner& engine);

// Start-up, file paths, shortcuts
void CheckStartup(CRegistryScanner& engine);
void CheckFilePaths(CRegistryScanner& engine);
void CheckShortcuts(CRegistryScanner& engine);

// File associations, sound events
void CheckFileAssociations(CRegistryScanner& engine);
void CheckSoundEvents(CRegistryScanner& engine);

// The whole trees: the empty keys and the deep scan (with the file path references above)
void CheckEmptyKeys(CRegistryScanner& engine);
void CheckDeepScan(CRegistryScanner& engine);
