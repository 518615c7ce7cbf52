// The state of the window controls that the forms own. A form is a plain class made of
// these; the Qt layer draws them and keeps its widgets in step through the observers.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace quillet {

// While it lives, a Subscription keeps one observer attached; destroying it detaches the
// observer. Either side may go first: the observed control holds the observer only weakly.
class Subscription {
  public:
    Subscription() = default;
    explicit Subscription(std::shared_ptr<const void> observer) : observer_(std::move(observer)) {}

  private:
    std::shared_ptr<const void> observer_;
};

// A list of observers, each run by Emit in the order they subscribed. An observer whose
// subscription has ended is skipped and forgotten; one that subscribes or unsubscribes during
// Emit takes effect from the next Emit.
template <typename... Args>
class Signal {
  public:
    using Observer = std::function<void(Args...)>;

    [[nodiscard]] Subscription Subscribe(Observer observer) {
        auto shared = std::make_shared<const Observer>(std::move(observer));
        std::erase_if(observers_, [](const auto& weak) { return weak.expired(); });
        observers_.push_back(shared);
        return Subscription(std::move(shared));
    }
    void Emit(Args... args) const {
        const auto observers = observers_;
        for (const auto& weak : observers) {
            if (const auto observer = weak.lock()) {
                (*observer)(args...);
            }
        }
    }

  private:
    std::vector<std::weak_ptr<const Observer>> observers_;
};

// Something a view can watch: its observers run after every change of the state, made by
// code or by the user.
class Observable {
  public:
    [[nodiscard]] Subscription Observe(std::function<void()> observer) {
        return changed_.Subscribe(std::move(observer));
    }

  protected:
    void Notify() const { changed_.Emit(); }

  private:
    Signal<> changed_;
};

class TextBox : public Observable {
  public:
    const std::string& Text() const { return text_; }
    void SetText(std::string text) {
        text_ = std::move(text);
        Notify();
    }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled) {
        enabled_ = enabled;
        Notify();
    }
    // Asks for the keyboard focus; the view gives it when it shows the box.
    void SetFocus() { focus_requested_.Emit(); }
    [[nodiscard]] Subscription OnFocus(std::function<void()> handler) {
        return focus_requested_.Subscribe(std::move(handler));
    }

  private:
    std::string text_;
    bool enabled_ = true;
    Signal<> focus_requested_;
};

// A check box's state: 0 cleared, 1 checked, 2 grayed. Every reader treats a state other than
// 0 as on.
class CheckBox : public Observable {
  public:
    int16_t Value() const { return value_; }
    bool IsOn() const { return value_ != 0; }
    // Sets the state; a change of the state, by code or by the user, runs the Click handler.
    void SetValue(int16_t value) {
        if (value == value_) {
            return;
        }
        value_ = value;
        Notify();
        if (click_) {
            click_();
        }
    }
    void OnClick(std::function<void()> handler) { click_ = std::move(handler); }

  private:
    int16_t value_ = 0;
    std::function<void()> click_;
};

struct Colour {
    int red = 0;
    int green = 0;
    int blue = 0;
    friend bool operator==(const Colour&, const Colour&) = default;
};

// A command button's state: whether it takes clicks.
class CommandButton : public Observable {
  public:
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled) {
        enabled_ = enabled;
        Notify();
    }

  private:
    bool enabled_ = true;
};

class Label : public Observable {
  public:
    const std::string& Caption() const { return caption_; }
    void SetCaption(std::string caption) {
        caption_ = std::move(caption);
        Notify();
    }
    Colour ForeColor() const { return fore_color_; }
    void SetForeColor(Colour colour) {
        fore_color_ = colour;
        Notify();
    }

  private:
    std::string caption_;
    Colour fore_color_;
};

// An ordered list of text entries, each of which may be selected (extended selection).
class ListBox : public Observable {
  public:
    int ListCount() const { return static_cast<int>(entries_.size()); }
    // The entry at a 0-based position; the caller keeps `index` within ListCount().
    const std::string& List(int index) const { return entries_.at(static_cast<size_t>(index)); }
    bool Selected(int index) const { return selected_.at(static_cast<size_t>(index)); }

    void AddItem(std::string entry) {
        entries_.push_back(std::move(entry));
        selected_.push_back(false);
        Notify();
    }
    void RemoveItem(int index) {
        entries_.erase(entries_.begin() + index);
        selected_.erase(selected_.begin() + index);
        Notify();
    }
    void SetList(int index, std::string entry) {
        entries_.at(static_cast<size_t>(index)) = std::move(entry);
        Notify();
    }
    void SetSelected(int index, bool selected) {
        selected_.at(static_cast<size_t>(index)) = selected;
        Notify();
    }
    void Clear() {
        entries_.clear();
        selected_.clear();
        Notify();
    }

  private:
    std::vector<std::string> entries_;
    std::vector<bool> selected_;
};

// A drop-down list that takes no typed text: entries and the selected one.
class ComboBox : public Observable {
  public:
    int ListCount() const { return static_cast<int>(entries_.size()); }
    const std::string& List(int index) const { return entries_.at(static_cast<size_t>(index)); }
    void AddItem(std::string entry) {
        entries_.push_back(std::move(entry));
        Notify();
    }
    void Clear() {
        entries_.clear();
        list_index_ = -1;
        Notify();
    }
    // The selected entry's 0-based position, -1 when none is.
    int ListIndex() const { return list_index_; }
    // Selects an entry (-1: none); a change of the selection, by code or by the user, runs the
    // Click handler.
    void SetListIndex(int index) {
        if (index == list_index_) {
            return;
        }
        list_index_ = index;
        Notify();
        if (click_) {
            click_();
        }
    }
    void OnClick(std::function<void()> handler) { click_ = std::move(handler); }

  private:
    std::vector<std::string> entries_;
    int list_index_ = -1;
    std::function<void()> click_;
};

// A multi-column list with a header row and one selected row at a time.
class ListView : public Observable {
  public:
    struct Column {
        std::string caption;
        float width = -1;  // twips; -1: the control's default width
    };

    int ColumnCount() const { return static_cast<int>(columns_.size()); }
    const Column& ColumnHeader(int index) const { return columns_.at(static_cast<size_t>(index)); }
    // Appends a column at the right, with the default width.
    void AddColumn(std::string caption) {
        columns_.push_back({std::move(caption), -1});
        Notify();
    }
    void SetColumnWidth(int index, float width) {
        columns_.at(static_cast<size_t>(index)).width = width;
        Notify();
    }

    int ListCount() const { return static_cast<int>(rows_.size()); }
    // The texts of a row, one per column (the first is the row's own text).
    const std::vector<std::string>& Row(int index) const {
        return rows_.at(static_cast<size_t>(index));
    }
    const std::vector<std::vector<std::string>>& Rows() const { return rows_; }
    // Appends a row; the first row added to an empty list becomes the selected one.
    void AddRow(std::vector<std::string> texts) {
        rows_.push_back(std::move(texts));
        if (rows_.size() == 1) {
            selected_ = 0;
        }
        Notify();
    }

    // The selected row's 0-based position, -1 when none is.
    int SelectedIndex() const { return selected_; }
    void SetSelectedIndex(int index) {
        selected_ = index;
        Notify();
    }

  private:
    std::vector<Column> columns_;
    std::vector<std::vector<std::string>> rows_;
    int selected_ = -1;
};

}  // namespace quillet
