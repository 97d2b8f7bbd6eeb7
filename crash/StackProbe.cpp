// x64 only: the stack probe GCC calls before allocating a frame of 4 KB or
// more, in place of libgcc's, which has no unwind data. A stack overflow
// faults inside it, and Windows walks x64 stacks only with the PE's unwind
// data, so without it the trace would end at the probe.
// In: rax, the bytes about to be allocated. Touches each page below the
// caller's stack pointer in order, so that the guard page moves down with
// it; changes no register.
asm(R"(
    .text
    .p2align 4
    .globl ___chkstk_ms
    .def ___chkstk_ms; .scl 2; .type 32; .endef
    .seh_proc ___chkstk_ms
___chkstk_ms:
    pushq %rcx
    .seh_pushreg %rcx
    pushq %rax
    .seh_pushreg %rax
    .seh_endprologue
    leaq 24(%rsp), %rcx
1:
    cmpq $0x1000, %rax
    jb 2f
    subq $0x1000, %rcx
    orq $0, (%rcx)
    subq $0x1000, %rax
    jmp 1b
2:
    subq %rax, %rcx
    orq $0, (%rcx)
    popq %rax
    popq %rcx
    ret
    .seh_endproc
)");
