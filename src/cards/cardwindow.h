#pragma once

#include "types/value.h"
#include "window.h"

class QPushButton;

namespace dw {
class DataWindowControl;
}

// What the three member card windows share: a card layout in print preview that fills
// the window, a print button and an exit button. Each window says which layout it
// shows and which value of the open parameter it retrieves with.
class CardWindow : public rt::Window
{
    Q_OBJECT
public:
    // Retrieves the card with the open parameter, shows it as it will print, maximised.
    void open() override;
    // Keeps the card above a strip for the buttons, the exit button near the right
    // edge and the print button 800 units to its left.
    long resize(quint32 sizetype, int newwidth, int newheight) override;

    [[nodiscard]] dw::DataWindowControl &card() const { return *dw_sesiones; }

    // The print button: printer selection, then the card when it has rows.
    void printCard();

protected:
    CardWindow(const QString &dataObject, QWidget *parent);
    // The retrieval argument taken from the open parameter (rt::Message()).
    [[nodiscard]] virtual dw::Value parameter() const = 0;

    // What a printed card is called: the title of its print job and PDF file, and the
    // base name of the file proposed for it.
    struct DocumentNames
    {
        QString title;
        QString fileBaseName;
    };
    // A member's card: "Ficha de <nombre>", "ficha-<nombre>".
    [[nodiscard]] virtual DocumentNames documentNames() const;

private:
    dw::DataWindowControl *dw_sesiones;
    QPushButton *pb_insertar;
    QPushButton *pb_salir;
};
