// Placeholder of the statistics page until it lands.
#include "report/report.h"

void SaveStatistic() {}
