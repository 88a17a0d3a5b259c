// Keeping caches out of the measurements: the controller-cache eviction file and the purge
// of the OS's file cache. None of it is timed.
#pragma once

#include <vector>
#include <string>

// True from the creation of the eviction file until it is removed.
extern bool fichier_cache_cree;

// Writes cache GiB to cache_chemin_fichier and forces them to the device.
void vidage_cache_ecriture();

// Reads the eviction file back, so that the controller's cache holds it and not test data.
void vidage_cache_lecture();

// Drops the OS's cached pages of `fichiers`; a failure is reported and the run goes on.
void nettoyage_ram_lecture(const std::vector<std::string>& fichiers);
