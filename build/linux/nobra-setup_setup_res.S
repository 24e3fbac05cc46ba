    .section .rodata
    .globl platform_resources
    .globl platform_resources_end
    .balign 16
platform_resources:
    .incbin "/work/main/build/linux/nobra-setup_setup.res"
platform_resources_end:
    .byte 0
    .section .note.GNU-stack,"",@progbits
