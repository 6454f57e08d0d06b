/* A loadable test module with one export. */
__attribute__((visibility("default"))) int sv_test_answer(void)
{
    return 42;
}
