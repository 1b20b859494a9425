// The player offered to the desktop's controls where there is no session bus:
// nothing is shown and nothing changes, the buttons play and the close ends
// with status 0, as without the offer.
#include "app_fixture.h"

TEST_F(ColdAppTest, WithoutASessionBusThePlayerPlaysAndClosesAsBefore) {
    setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + (dir / "no-bus").string()).c_str(), 1);
    fs::copy_file(fs::path(std::getenv("MELODIANE_FIXTURES")) / "no_tag.mp3", dir / "un.mp3");
    std::ofstream(dir / "Froulard.m3u", std::ios::binary) << "un.mp3\r\n";
    start();
    start_media_controls();
    click(IDC_PLAY);
    EXPECT_TRUE(wait_until([] { return decoder_state() == VBMP3_STATE_PLAYING; }));
    EXPECT_EQ(close(), 0);
}
