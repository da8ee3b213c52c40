#pragma once

// GDAL is set up once per process, whoever calls it first: its drivers
// registered and its block cache capped, so an import of the whole country
// from rasters stays within a fixed memory whatever the rasters' size, and
// GDAL's own messages go to standard error as "GDAL error: ...".
namespace GdalSetup {

// The cap of GDAL's block cache, in bytes.
constexpr long long CacheBytes = 512LL * 1024 * 1024;

// Safe to call from any thread, any number of times.
void ensure();

} // namespace GdalSetup
