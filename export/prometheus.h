// The Prometheus export: each cycle, every interface's figures as one file in
// the text exposition format, for the textfile collector of a node or Windows
// exporter to serve.
#pragma once

#define PROMETHEUS_FILE_NAME "vellary.prom"

// Writes FOLDER/vellary.prom (FOLDER\vellary.prom on Windows) from g_interfaces
// once their cycle is polled: first to a file of its own beside it, then put in
// place in one step, so a collector never reads half a file. Called once per
// cycle, after the last interface, since it adds each interval's octets to the
// totals it exports. Metrics in bytes and seconds, labelled with the interface's
// name and address; a figure that was not measured is left out, never 0. When
// the file cannot be written the old one stays, and the log says "Prometheus
// export failure" with the file's path once, and "Prometheus export resumed"
// once it is written again.
void WritePrometheusExport(const char *folder);
