/*
 * Table-driven dispatch of window messages and commands.
 *
 * A procedure hands its message to DispatchMessageTable with its own
 * constant table.  The rows are scanned in order and the first whose message
 * matches wins; without a match the table's default kind decides: nothing
 * (result 0, what a dialog procedure returns for "not handled"),
 * DefWindowProcA or DefDlgProcA.  A WM_COMMAND row leads to DispatchCommand,
 * which matches the low word of wParam against the command rows and hands
 * the handler the identifier and the notification code as two zero-extended
 * words.  The functions keep no state, so the modal pages that nest inside
 * a handler dispatch through them safely.
 */
#include "setup.h"

LRESULT CallDefaultProc(DefaultProcKind kind, HWND window, UINT message, WPARAM wParam,
                        LPARAM lParam)
{
    switch (kind) {
    case DefaultWindowProc:
        return DefWindowProcA(window, message, wParam, lParam);
    case DefaultDialogProc:
        return DefDlgProcA(window, message, wParam, lParam);
    default:
        return 0;
    }
}

LRESULT DispatchMessageTable(const MessageTable *table, HWND window, UINT message, WPARAM wParam,
                             LPARAM lParam)
{
    for (int i = 0; i < table->count; i++) {
        if (table->entries[i].message == message)
            return table->entries[i].handler(window, message, wParam, lParam);
    }
    return CallDefaultProc(table->defaultKind, window, message, wParam, lParam);
}

LRESULT DispatchCommand(const CommandTable *table, HWND window, WPARAM wParam, LPARAM lParam)
{
    WORD id = LOWORD(wParam);

    for (int i = 0; i < table->count; i++) {
        if (table->entries[i].id == id)
            return table->entries[i].handler(window, id, HIWORD(wParam), lParam);
    }
    return CallDefaultProc(table->defaultKind, window, WM_COMMAND, wParam, lParam);
}
