// An executable that only carries a version resource, for the reader's tests.
int main()
{
    return 0;
}
