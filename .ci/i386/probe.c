/* The smallest i386 Linux program: exits with status 0. Whether the machine can start it, natively
 * or through binfmt_misc, tells whether the Wine tier's 32-bit programs can run. */
void _start(void)
{
    __asm__ volatile("int $0x80" : : "a"(1), "b"(0));
}
