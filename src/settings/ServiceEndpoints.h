#pragma once

// The endpoint the setting xSoapServer gets at start-up, before the stored settings are applied.
inline constexpr const char *kStartupServiceEndpoint = "https://ritplanning.example.org/_external/external.cfc";

// The endpoint a stub uses when xSoapServer is empty.
inline constexpr const char *kBuiltInServiceEndpoint = "http://vervoer.example.net/_external/external.cfc";
