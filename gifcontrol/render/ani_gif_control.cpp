// AniGifControl: the installed face of the control, each member the control's own.
#include "anigif/ani_gif_control.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "gifcontrol/decode/bytes_to_picture.h"
#include "gifcontrol/decode/gif_array.h"
#include "gifcontrol/render/uc_ani_gif.h"
#include "platform/property_bag.h"

namespace anigif {

AniGifControl::AniGifControl(platform::ControlHost& host) : d_(std::make_unique<ucAniGIF>(host)) {}
AniGifControl::~AniGifControl() = default;

bool AniGifControl::LoadAnimatedGIF_File(std::string_view FileName) noexcept {
    return d_->LoadAnimatedGIF_File(FileName);
}
bool AniGifControl::loadGifBytes(std::span<const uint8_t> bytes) noexcept {
    return d_->LoadAnimatedGIF_Array(GifArray(bytes));
}
void AniGifControl::LoadAnimatedGIF_Remote(std::string_view RemotePath) {
    d_->LoadAnimatedGIF_Remote(RemotePath);
}
std::vector<uint8_t> AniGifControl::AnimatedGIF() const {
    const std::unique_ptr<Picture> picture = d_->AnimatedGIF();
    return picture ? picture->bytes() : std::vector<uint8_t>{};
}
void AniGifControl::AnimatedGIF(std::span<const uint8_t> aGif) {
    const std::unique_ptr<Picture> picture =
        aGif.empty() ? nullptr : BytesToPicture(aGif.data(), static_cast<int64_t>(aGif.size()));
    d_->AnimatedGIF(picture.get());
}

int32_t AniGifControl::CurrentFrame() const noexcept {
    return d_->CurrentFrame();
}
int32_t AniGifControl::FrameCount() const noexcept {
    return d_->FrameCount();
}
bool AniGifControl::Enabled() const {
    return d_->Enabled();
}
void AniGifControl::Enabled(bool Enable) {
    d_->Enabled(Enable);
}
int32_t AniGifControl::ActualWidth() const {
    return d_->ActualWidth();
}
int32_t AniGifControl::ActualHeight() const {
    return d_->ActualHeight();
}
int32_t AniGifControl::Stretch() const noexcept {
    return d_->Stretch();
}
void AniGifControl::Stretch(int32_t newScale) {
    d_->Stretch(newScale);
}
int32_t AniGifControl::MinFrameDelay() const noexcept {
    return d_->MinFrameDelay();
}
void AniGifControl::MinFrameDelay(int32_t Delay) {
    d_->MinFrameDelay(Delay);
}
int32_t AniGifControl::Loops() const noexcept {
    return d_->Loops();
}
void AniGifControl::Loops(int32_t Count) {
    d_->Loops(Count);
}
int32_t AniGifControl::LoopsRemaining() const noexcept {
    return d_->LoopsRemaining();
}
int32_t AniGifControl::Mirrored() const noexcept {
    return d_->Mirrored();
}
void AniGifControl::Mirrored(int32_t MirrorStyle) {
    d_->Mirrored(MirrorStyle);
}
int32_t AniGifControl::Action() const noexcept {
    return d_->Action();
}
void AniGifControl::Action(int32_t Act) {
    d_->Action(Act);
}
int32_t AniGifControl::DelayAnimation() const noexcept {
    return d_->DelayAnimation();
}
void AniGifControl::DelayAnimation(int32_t Mode) {
    d_->DelayAnimation(Mode);
}
platform::PicturePtr AniGifControl::MouseIcon() const noexcept {
    return d_->MouseIcon();
}
void AniGifControl::MouseIcon(platform::PicturePtr MousePic) noexcept {
    d_->MouseIcon(std::move(MousePic));
}
int32_t AniGifControl::MousePointer() const noexcept {
    return d_->MousePointer();
}
void AniGifControl::MousePointer(int32_t Pointer) noexcept {
    d_->MousePointer(Pointer);
}
int32_t AniGifControl::OffsetX() const noexcept {
    return d_->OffsetX();
}
void AniGifControl::OffsetX(int32_t NewOffset) {
    d_->OffsetX(NewOffset);
}
int32_t AniGifControl::OffsetY() const noexcept {
    return d_->OffsetY();
}
void AniGifControl::OffsetY(int32_t NewOffset) {
    d_->OffsetY(NewOffset);
}
int32_t AniGifControl::SolidBkgColor() const noexcept {
    return d_->SolidBkgColor();
}
void AniGifControl::SolidBkgColor(int32_t Color) {
    d_->SolidBkgColor(Color);
}
bool AniGifControl::SolidBkgColorUsed() const noexcept {
    return d_->SolidBkgColorUsed();
}
void AniGifControl::SolidBkgColorUsed(bool IgnoreTransparency) {
    d_->SolidBkgColorUsed(IgnoreTransparency);
}
void AniGifControl::ShowFrame(int32_t FrameIndex) {
    d_->ShowFrame(FrameIndex);
}
int32_t AniGifControl::SteppedDelay() const noexcept {
    return d_->SteppedDelay();
}
void AniGifControl::SteppedDelay(int32_t newDelay) {
    d_->SteppedDelay(newDelay);
}
void AniGifControl::Refresh() {
    d_->Refresh();
}
std::string_view AniGifControl::helpString(std::string_view memberName) noexcept {
    return ucAniGIF::helpString(memberName);
}

bool AniGifControl::GetPalette(int32_t FrameIndex, PaletteArray& paletteEntries) noexcept {
    return d_->GetPalette(FrameIndex, paletteEntries);
}
bool AniGifControl::SetPalette(int32_t FrameIndex, const PaletteArray& paletteEntries) noexcept {
    return d_->SetPalette(FrameIndex, paletteEntries);
}
bool AniGifControl::CacheColorTables() {
    return d_->CacheColorTables();
}
bool AniGifControl::RestoreColorTables(bool bReleaseCache) {
    return d_->RestoreColorTables(bReleaseCache);
}
bool AniGifControl::ColorTablesCached() const noexcept {
    return d_->ColorTablesCached();
}

std::vector<uint8_t> AniGifControl::WriteProperties() const {
    platform::PropertyBag bag;
    d_->WriteProperties(bag);
    return bag.toBytes();
}
void AniGifControl::ReadProperties(std::span<const uint8_t> storedDescription) {
    d_->ReadProperties(platform::PropertyBag::fromBytes(storedDescription));
}

bool AniGifControl::paintInto(const PaintTarget& target) {
    return d_->paintInto(target);
}
void AniGifControl::UserControl_Resize() {
    d_->UserControl_Resize();
}
void AniGifControl::UserControl_Show() {
    d_->UserControl_Show();
}
void AniGifControl::UserControl_Hide() {
    d_->UserControl_Hide();
}
void AniGifControl::UserControl_Click() {
    d_->UserControl_Click();
}
void AniGifControl::UserControl_MouseDown(int16_t Button, int16_t Shift, float X, float Y) {
    d_->UserControl_MouseDown(Button, Shift, X, Y);
}
void AniGifControl::UserControl_MouseUp(int16_t Button, int16_t Shift, float X, float Y) {
    d_->UserControl_MouseUp(Button, Shift, X, Y);
}
void AniGifControl::UserControl_MouseMove(int16_t Button, int16_t Shift, float X, float Y) {
    d_->UserControl_MouseMove(Button, Shift, X, Y);
}
void AniGifControl::UserControl_AsyncReadComplete(std::string_view PropertyName,
                                                  std::span<const uint8_t> Value, int64_t BytesRead,
                                                  std::shared_ptr<const void> keeper) {
    d_->UserControl_AsyncReadComplete(PropertyName, Value, BytesRead, std::move(keeper));
}
void AniGifControl::UserControl_AsyncReadProgress(std::string_view PropertyName, int32_t StatusCode,
                                                  int64_t BytesRead) {
    d_->UserControl_AsyncReadProgress(PropertyName, StatusCode, BytesRead);
}

void AniGifControl::setMemoryBudget(std::size_t bytes) noexcept {
    d_->MemoryBudget(bytes);
}
std::size_t AniGifControl::memoryBudget() const noexcept {
    return d_->MemoryBudget();
}
std::size_t AniGifControl::heldBytes() const noexcept {
    return d_->heldBytes();
}
std::size_t AniGifControl::paintRoomBytes() const noexcept {
    return d_->paintRoomBytes();
}
void AniGifControl::setRemoteDeadline(int64_t milliseconds) noexcept {
    d_->remoteDeadlineMs = std::max<int64_t>(milliseconds, 0);
}
int64_t AniGifControl::remoteDeadline() const noexcept {
    return d_->remoteDeadlineMs;
}

void AniGifControl::SetThreadLimit(int32_t threads) noexcept {
    d_->SetThreadLimit(threads);
}
void AniGifControl::setErrorReporter(
    std::function<void(std::string_view text, std::string_view title)> f) {
    d_->timerErrorReporter = std::move(f);
}

}  // namespace anigif
