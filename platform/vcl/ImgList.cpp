// Image lists: the list of images. Cutting and masking pixels, and the resource form, are in QtImgList.cpp.
#include "platform/vcl/ImgList.h"

#include <algorithm>

#include "platform/vcl/Controls.h"

namespace vcl {

VCL_IMPLEMENT_CLASS(TImageList)

void TImageList::RegisterProperties(TClassDef<TImageList>& def)
{
    def.Property("BkColor", &TImageList::BkColor, &TImageList::SetBkColor, clNone);
    def.Property("Height", &TImageList::Height, &TImageList::SetHeight, 16);
    def.Property("Masked", &TImageList::Masked, &TImageList::SetMasked, true);
    def.Property("Width", &TImageList::Width, &TImageList::SetWidth, 16);
    // After the size, so that a resource's images are cut at the right width.
    def.Property("Bitmap", &TImageList::Bitmap, &TImageList::SetBitmap);
    def.Event("OnChange", &TImageList::OnChange);
}

TImageList::TImageList(TComponent* owner) : TComponent(owner) {}

TImageList::~TImageList()
{
    Destroying();
    clients_.clear();
}

void TImageList::CheckIndex(int index) const
{
    if (index < 0 || index >= Count())
        throw EInvalidOperation("Invalid image index " + rtl::IntToStr(index) + " of " + rtl::IntToStr(Count()) +
                                " images in " + (Name().empty() ? ClassName() : Name()));
}

void TImageList::Changed()
{
    if (IsDestroying())
        return;
    // A client may unregister while hearing of the change.
    std::vector<TClient> clients = clients_;
    for (const TClient& c : clients) {
        if (c.Changed)
            c.Changed();
    }
    if (OnChange && !IsLoading())
        OnChange(this);
}

void TImageList::SetWidth(int value)
{
    value = std::clamp(value, 1, 32768);
    if (width_ == value)
        return;
    width_ = value;
    Clear();
}

void TImageList::SetHeight(int value)
{
    value = std::clamp(value, 1, 32768);
    if (height_ == value)
        return;
    height_ = value;
    Clear();
}

int TImageList::Add(const TBitmap* image, const TBitmap* mask)
{
    auto pieces = Pieces(image, mask, false, clDefault);
    int first = Count();
    for (auto& piece : pieces)
        images_.push_back(std::move(piece));
    Changed();
    return first;
}

int TImageList::AddMasked(const TBitmap* image, TColor maskColor)
{
    auto pieces = Pieces(image, nullptr, true, maskColor);
    int first = Count();
    for (auto& piece : pieces)
        images_.push_back(std::move(piece));
    Changed();
    return first;
}

int TImageList::AddIcon(const TIcon* icon)
{
    if (!icon || icon->Empty())
        throw EInvalidOperation("Cannot add an empty icon to an image list");
    TBitmap bitmap;
    bitmap.Assign(icon);
    return Add(&bitmap, nullptr);
}

void TImageList::Insert(int index, const TBitmap* image, const TBitmap* mask)
{
    if (index < 0 || index > Count())
        CheckIndex(index);
    auto pieces = Pieces(image, mask, false, clDefault);
    images_.insert(images_.begin() + index, std::make_move_iterator(pieces.begin()), std::make_move_iterator(pieces.end()));
    Changed();
}

void TImageList::Replace(int index, const TBitmap* image, const TBitmap* mask)
{
    CheckIndex(index);
    auto pieces = Pieces(image, mask, false, clDefault);
    images_[static_cast<size_t>(index)] = std::move(pieces.front());
    Changed();
}

void TImageList::Delete(int index)
{
    CheckIndex(index);
    images_.erase(images_.begin() + index);
    Changed();
}

void TImageList::Clear()
{
    if (images_.empty())
        return;
    images_.clear();
    Changed();
}

void TImageList::Move(int curIndex, int newIndex)
{
    CheckIndex(curIndex);
    CheckIndex(newIndex);
    std::unique_ptr<TBitmap> image = std::move(images_[static_cast<size_t>(curIndex)]);
    images_.erase(images_.begin() + curIndex);
    images_.insert(images_.begin() + newIndex, std::move(image));
    Changed();
}

const TBitmap& TImageList::Image(int index) const
{
    CheckIndex(index);
    return *images_[static_cast<size_t>(index)];
}

void TImageList::GetBitmap(int index, TBitmap* image) const
{
    CheckIndex(index);
    if (image)
        image->Assign(images_[static_cast<size_t>(index)].get());
}

void TImageList::Draw(TCanvas* canvas, int x, int y, int index, bool enabled) const
{
    if (!canvas || index < 0 || index >= Count())
        return;
    (void)enabled;
    canvas->Draw(x, y, images_[static_cast<size_t>(index)].get());
}

void TImageList::RegisterChanges(TComponent* client, std::function<void()> changed)
{
    UnRegisterChanges(client);
    clients_.push_back(TClient{client, std::move(changed)});
    FreeNotification(client);
}

void TImageList::UnRegisterChanges(TComponent* client)
{
    std::erase_if(clients_, [client](const TClient& c) { return c.Client == client; });
}

void TImageList::Notification(TComponent* component, TOperation operation)
{
    TComponent::Notification(component, operation);
    if (operation == opRemove)
        UnRegisterChanges(component);
}

}  // namespace vcl
