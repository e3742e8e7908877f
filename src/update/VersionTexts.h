#pragma once

// The texts of the program's version resource, in one place for both builds: MakeVersionResource writes them into
// the ELF section of the Linux program, windres into the VS_VERSIONINFO of the Windows program (VoranoOstrel.rc).
// Plain C macros, so the resource compiler reads them too; the numbers come from the project version.
#define VORANO_VERSION_COMPANY L"Taxis Vorano"
#define VORANO_VERSION_TITLE L"Taxis Vorano Soap Cli\x00EBnt voor Ostrel"
#define VORANO_VERSION_INTERNAL_NAME L"VoranoOstrel"
#define VORANO_VERSION_COPYRIGHT L"Taxis Vorano"
#define VORANO_VERSION_LANGUAGE 0x0413 /* Dutch */
#define VORANO_VERSION_CODE_PAGE 1252  /* Windows, Multilingual */
#define VORANO_VERSION_BLOCK "041304E4"
