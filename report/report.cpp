// Placeholder until the report generator lands.
#include "report/report.hpp"
