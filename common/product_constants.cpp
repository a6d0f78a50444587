#include "product_constants.h"

const char szTargetProduct[] = "SQL Server 2017 Express";
const char szInstanceName[] = "VALTERNADB";
