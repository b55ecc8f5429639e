// A library in the extractor's place that lacks the export "Molt".
extern "C" __attribute__((visibility("default"))) int NotMolt() { return 0; }
