// A module in the browser's place that lacks its export.
extern "C" __attribute__((visibility("default"))) int StartSomethingElse()
{
    return 3;
}
