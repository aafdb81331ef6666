// The tool position: three plain numbers as the program wrote them, with no
// unit of their own.
#pragma once

class CToolPosition {
public:
    void Clear() { x = y = z = 0.0; }
    void Set(double newX, double newY, double newZ)
    {
        x = newX;
        y = newY;
        z = newZ;
    }
    void SetX(double value) { x = value; }
    void SetY(double value) { y = value; }
    void SetZ(double value) { z = value; }
    double GetX() const { return x; }
    double GetY() const { return y; }
    double GetZ() const { return z; }

private:
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};
