/* A test module that needs a function no library provides: RTLD_NOW refuses it. */
int sv_test_nowhere(void);

__attribute__((visibility("default"))) int sv_test_calls_nowhere(void)
{
    return sv_test_nowhere();
}
