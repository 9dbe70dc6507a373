#include "win/texts.h"

namespace win {

std::wstring instructionsText() {
    return std::wstring(L"操作步骤：\r\n"
                        L"  1、打开截面图-R2000以上版本\r\n"
                        L"  2、点击初始化按钮，程序将切换到CAD，选取相对原点\r\n"
                        L"  3、点击点取节点按钮，依次选择截面节点。\r\n"
                        L"  更多软件尽在") +
           kHomePageAddress;
}

}  // namespace win
