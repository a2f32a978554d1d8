#include "Tips.h"

#include "Random.h"

namespace qv {

const std::array<Tip, TipCount> Tips = {{
    {20, "You can encrypt file with 7(!) different ways: double-clicking on it, drag n' dropping "
         "it, choosing the respective command from the context menu/main menu, pressing the "
         "respective tool button, using a command string and via command 'Encrypt all' from the "
         "directories box context sensitive menu."},
    {20, "Status bars in the bottom of the main screen allow you to see statistics about the last "
         "encrypted/decrypted file such as the average crypting speed, time of crypting etc."},
    {20, "You can freely resize/move the status bars in the bottom of the main screen. When you "
         "next start Quorvane these settings will be restored."},
    {20, "You can change the way file lists look by choosing 'View' in the main menu, as well as "
         "changing the appearence of the tool bar and status bars."},
    {20, "You can encrypt the contents of entire folders with subfolders, using 'Encrypt all' "
         "command in the context sensitive menu of the directory box."},
    {20, "You can re-order files in the file lists by pressing a respective caption above a file "
         "list. To use this feature you must select 'Details'in the 'View/File lists' part of the "
         "main menu."},
    {10, "The longer the password - the greater the security."},
    {10, "Buttons placed onto the status bar at the bottom of the window indicate the encryption "
         "method, choosen by default"},
    {10, "You can move between active controls in the main window by using the 'TAB'-key. When "
         "you activate a file list the respective image above the list is highlighted."},
    {10, "If you attempt to exit the program before closing any open crypted files Quorvane "
         "prompts you to close the respective applications before allowing you to exit."},
    {60, "When you open a crypted file in it's respective application and then close the "
         "application, Quorvane will attempt to re-encrypt a file automatically."},
    {70, "Files from the non encrypted file list are physically deleted, when you choose the "
         "'delete' command from a context-sensitive menu. The same happens when you encrypt a "
         "file. In this case the original file is wiped from the disk."},
    {50, "You can transfer files to Quorvane from an external environment. During the "
         "installation, Quorvane adds a reference to itself into the system's 'SendTo' folder. "
         "So you can, for example, within a Windows Explorer and by right-clicking on the file, "
         "choose SendTo/Quorvane 95 IDEA.The file is then passed to Quorvane for either "
         "automatic encryption, or decryption."},
}};

std::size_t TQV_TipChoice::Next() {
    std::size_t next = shown_;
    while (next == shown_)
        next = RandomBelow(TipCount);
    shown_ = next;
    return next;
}

} // namespace qv
