#pragma once
// A design matrix: N predictors (columns), each with a colour and a name, and T data points (rows).
//
// File layout:
//   FileVersion:             int   default 1     (header keys in any order before the last one)
//   NrOfPredictors:          int   N, default 0
//   NrOfDataPoints:          int   T, default 0
//   IncludesConstant:        0/1   default 0
//   FirstConfoundPredictor:  int   default 0; ends the header
//   r g b   r g b ...              one colour per predictor
//   "name" "name" ...              one quoted name per predictor
//   T rows of N values             values[p][t] is row t, column p
//
// A data row is split at white space when that gives exactly N numbers, which reads back every
// row that Save writes; otherwise its values are taken from consecutive 12-character fields.
// Colours and names the file lacks read as 0 0 0 and "NoName". Up to 10000 predictors, more than
// any design has, get them whatever the file holds; a larger count gets entries only as far as
// the file backs it (data rows, colours or names), so it never costs more memory than the file
// holds, and the read counts as partial.

#include <vocelle/text/fault.h>
#include <vocelle/text/line.h>

#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace vocelle {

class SDM {
public:
    // Every header line set with its default and width 24; no predictors, no data points.
    SDM();
    // Reads the file. One that is not a regular file or cannot be opened is logged ("!!!  Failed
    // opening SDM for reading: " + path), recorded in readFault, and leaves FileVersion's value
    // -1 with the line unset; nothing is thrown.
    // A data row without its numbers throws FaultError "Invalid data row in SDM file: " + path,
    // naming the data point.
    explicit SDM(const std::string& fileName);
    // Reads an already opened document; fileName is only remembered for Save and messages.
    explicit SDM(std::istream& in, const std::string& fileName = std::string());

    // Leaves the stream in fixed notation with 6 decimals.
    void PrintTo(std::ostream& out) const;
    // Replaces fileName without ever destroying it on failure; throws std::runtime_error
    // "Cannot Create file: " + fileName.
    void Save() const;
    void SaveAs(const std::string& newFileName);

    std::string fileName;
    Line<int> FileVersion;
    Line<int> NrOfPredictors;
    Line<int> NrOfDataPoints;
    Line<bool> IncludesConstant;
    Line<int> FirstConfoundPredictor;
    std::vector<int> red;
    std::vector<int> green;
    std::vector<int> blue;
    std::vector<std::string> predictorNames;
    std::vector<std::vector<float>> values;  // values[predictor][data point]
    // Empty when the file was opened and read completely; else the fault: the file could not be
    // opened, or "Read only partly (why)": the header, colours or names cut off or unreadable, or
    // more predictors claimed than the file holds.
    Fault readFault;

private:
    void read(std::istream& in);
};

} // namespace vocelle
