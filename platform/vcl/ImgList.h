#pragma once
// Image lists: pictures of one size, numbered from 0, that tree views and menus show by index.
//
//   auto* images = new vcl::TImageList(form);    // 16 x 16
//   images->AddMasked(groupBitmap, vcl::clFuchsia);   // fuchsia pixels become transparent
//   images->Draw(canvas, 4, 4, 0);
//
// A resource carries the images as "Bitmap = { ... }": one 32-bit BMP file holding them side by side
// (alpha 0 where they are transparent), Width pixels each.

#include <functional>
#include <memory>
#include <vector>

#include "platform/vcl/Classes.h"
#include "platform/vcl/GraphicsCanvas.h"

namespace vcl {

class TImageList : public TComponent {
    VCL_CLASS(TImageList, TComponent)
public:
    explicit TImageList(TComponent* owner);
    ~TImageList() override;

    int Width() const { return width_; }
    // A new size empties the list.
    void SetWidth(int value);
    int Height() const { return height_; }
    void SetHeight(int value);
    int Count() const { return static_cast<int>(images_.size()); }
    TColor BkColor() const { return bkColor_; }
    void SetBkColor(TColor value) { bkColor_ = value; }
    bool Masked() const { return masked_; }
    void SetMasked(bool value) { masked_ = value; }

    // Adds the images of a bitmap (one for each Width pixels across; at least one), with `mask` (white:
    // transparent) when given. Gives the index of the first.
    int Add(const TBitmap* image, const TBitmap* mask);
    // The same, with the pixels of maskColor transparent (clDefault: the bottom-left pixel's colour).
    int AddMasked(const TBitmap* image, TColor maskColor);
    int AddIcon(const TIcon* icon);
    void Insert(int index, const TBitmap* image, const TBitmap* mask);
    void Replace(int index, const TBitmap* image, const TBitmap* mask);
    void Delete(int index);
    void Clear();
    void Move(int curIndex, int newIndex);
    // Copies image `index` into `image` (Width x Height, 32 bits with its transparency).
    void GetBitmap(int index, TBitmap* image) const;
    // The stored image itself.
    const TBitmap& Image(int index) const;
    void Draw(TCanvas* canvas, int x, int y, int index, bool enabled = true) const;

    // The resource form of all images.
    TBinaryData Bitmap() const;
    void SetBitmap(const TBinaryData& value);

    // Controls that show the list's images hear of every change (and forget it with the client).
    void RegisterChanges(TComponent* client, std::function<void()> changed);
    void UnRegisterChanges(TComponent* client);

    TNotifyEvent OnChange;

protected:
    void Notification(TComponent* component, TOperation operation) override;

private:
    void CheckIndex(int index) const;
    void Changed();
    // The pieces of `image` at this list's size, made transparent by the mask or the mask colour.
    std::vector<std::unique_ptr<TBitmap>> Pieces(const TBitmap* image, const TBitmap* mask, bool byColor,
                                                 TColor maskColor) const;

    int width_ = 16;
    int height_ = 16;
    TColor bkColor_ = clNone;
    bool masked_ = true;
    std::vector<std::unique_ptr<TBitmap>> images_;
    struct TClient {
        TComponent* Client;
        std::function<void()> Changed;
    };
    std::vector<TClient> clients_;
};

}  // namespace vcl
