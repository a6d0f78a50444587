// Names shared by the installation stages and the probes.
#pragma once

// The product this installer installs.
extern const char szTargetProduct[];
// The SQL Server instance the business application connects to.
extern const char szInstanceName[];
