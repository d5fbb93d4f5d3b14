// Sending the phone its SPC code.
#include "tessiva_doc.h"

#include "message_sink.h"
#include "qlib.h"

#include <cstring>

int CTessivaDoc::SendSpcCode(const std::string& code) {
    unsigned char bytes[6] = {0, 0, 0, 0, 0, 0};
    std::memcpy(bytes, code.data(), code.size() < sizeof bytes ? code.size() : sizeof bytes);
    unsigned char accepted = 0;
    // A call that fails leaves the code unaccepted: the phone may well be in its pause.
    if (!QLIB_DIAG_SPC_F(m_phone, bytes, &accepted)) accepted = 0;
    if (accepted == 0)
        Messages().ShowMessage("     WRONG SPC CODE \nPhone will be time out for 10 sec", EMessageIcon::Error, "ERROR");
    return 1;
}
