#include "files/network_file.h"

#include <gtest/gtest.h>
#include <hdf5.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "core/arithmetic.h"
#include "files/fletcher32.h"
#include "files/loader.h"
#include "files/network_file_checks.h"
#include "tests/support/network_builder.h"
#include "training/parameters.h"
#include "training/training_run.h"

namespace {

namespace fs = std::filesystem;
using core::PublicStuff;

struct Quiet : training::RunObserver {
    void printout(const training::Printout&) override {}
};

std::uint64_t bits(double v) {
    return std::bit_cast<std::uint64_t>(v);
}

// A problem of the given size with values that differ everywhere, trained `epochs` epochs
// with a printout every epoch; both stopping rules ticked, the minimum error never reached.
PublicStuff trained(int outputs, int inputs, int patterns, const char* rule, int epochs) {
    std::string text =
        std::to_string(outputs) + " -7 " + std::to_string(inputs) + " " + std::to_string(patterns);
    for (long long k = 0; k < static_cast<long long>(patterns) * (inputs + outputs); ++k) {
        text += " " + std::to_string(static_cast<double>(k * 7919 % 201 - 100) / 100.0);
    }
    PublicStuff net = support::NetworkFromText(text, "made.net");
    net.FreshStart = 1;
    net.LearningRule = core::RuleNamed(rule).value();
    EXPECT_FALSE(
        training::ReadTrainingParameters(net, {std::to_string(epochs), "1", "0.001", "0", true}, {})
            .problem);
    EXPECT_EQ(core::ZeroWeights(net), core::ArithStatus::Ok);
    Quiet quiet;
    training::RunTraining(net, {true, true}, quiet);
    return net;
}

// Everything a network file keeps, compared to the bit.
void expectSameNetwork(const PublicStuff& a, const PublicStuff& b) {
    ASSERT_EQ(a.NumOutputs, b.NumOutputs);
    ASSERT_EQ(a.NumInputs, b.NumInputs);
    ASSERT_EQ(a.NumPatterns, b.NumPatterns);
    EXPECT_EQ(a.SecondHeaderValue, b.SecondHeaderValue);
    for (int j = 1; j <= a.NumOutputs; ++j) {
        for (int i = 1; i <= a.NumInputs; ++i) {
            ASSERT_EQ(bits(a.Weights.Weight(j, i)), bits(b.Weights.Weight(j, i))) << j << "," << i;
        }
    }
    for (int p = 1; p <= a.NumPatterns; ++p) {
        for (int i = 1; i <= a.NumInputs; ++i) {
            ASSERT_EQ(bits(a.InputPatterns(i, p)), bits(b.InputPatterns(i, p)));
        }
        for (int j = 1; j <= a.NumOutputs; ++j) {
            ASSERT_EQ(bits(a.DesiredOutputs(j, p)), bits(b.DesiredOutputs(j, p)));
        }
    }
    ASSERT_EQ(a.SSEHistoryCount, b.SSEHistoryCount);
    for (std::size_t k = 1; k <= static_cast<std::size_t>(a.SSEHistoryCount); ++k) {
        EXPECT_EQ(bits(a.SSEHistory[k][1]), bits(b.SSEHistory[k][1]));
        EXPECT_EQ(bits(a.SSEHistory[k][2]), bits(b.SSEHistory[k][2]));
    }
    EXPECT_EQ(a.TrainingFileName, b.TrainingFileName);
    EXPECT_EQ(core::RuleName(a.LearningRule), core::RuleName(b.LearningRule));
    EXPECT_EQ(bits(a.LearningRate), bits(b.LearningRate));
    EXPECT_EQ(bits(a.TotalSSE), bits(b.TotalSSE));
    EXPECT_EQ(bits(a.MinError), bits(b.MinError));
    EXPECT_EQ(a.SweepCount, b.SweepCount);
    EXPECT_EQ(a.MaxSweeps, b.MaxSweeps);
    EXPECT_EQ(a.SweepsBoxValue, b.SweepsBoxValue);
    EXPECT_EQ(a.PrintSweeps, b.PrintSweeps);
    EXPECT_EQ(a.MaxSweepsRule, b.MaxSweepsRule);
    EXPECT_EQ(a.MinErrorRule, b.MinErrorRule);
    EXPECT_EQ(a.TrainedOnProblem, b.TrainedOnProblem);
}

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class NetworkFileTest : public testing::Test {
  protected:
    void SetUp() override {
        ::setenv("DAM_NETWORK_READER", DAM_NETWORK_READER_BUILT, 1);
        m_dir = fs::temp_directory_path() /
                ("network_file_test_" + std::to_string(::getpid()) + "_" +
                 testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    std::string path(const char* name) const { return (m_dir / name).string(); }

    fs::path m_dir;
};

TEST_F(NetworkFileTest, RoundTripKeepsEveryBitInRowMajorDatasets) {
    // Small, and wide enough to need several pieces with a partial block of outputs.
    for (const auto& [outputs, inputs] : {std::pair{3U, 2U}, std::pair{20U, 20000U}}) {
        SCOPED_TRACE(inputs);
        const PublicStuff net =
            trained(static_cast<int>(outputs), static_cast<int>(inputs), 3, "Delta", 4);
        ASSERT_TRUE(net.TrainedOnProblem);
        std::string error;
        core::Progress saving;
        ASSERT_TRUE(files::SaveNetwork(net, path("n.h5"), error, &saving)) << error;
        // The weights, 3 patterns of inputs and outputs, 5 history rows (epoch 0 to 4).
        const long long values = 1LL * outputs * inputs + 3LL * (inputs + outputs) + 2LL * 5;
        EXPECT_EQ(saving.total(), values * 8);
        EXPECT_EQ(saving.done(), values * 8);

        PublicStuff opened;
        core::Progress opening;
        ASSERT_TRUE(files::OpenNetwork(opened, path("n.h5"), error, &opening)) << error;
        expectSameNetwork(net, opened);
        EXPECT_EQ(opening.done(), values * 8);
        EXPECT_TRUE(opened.NetworkMatchesProblem());
        EXPECT_EQ(opened.FreshStart, 0);

        // Read plainly, whole, through HDF5's own checksum filter: row j of "weights" is
        // output unit j, edge chunks included.
        const hid_t file = H5Fopen(path("n.h5").c_str(), H5F_ACC_RDONLY, H5P_DEFAULT);
        const hid_t weights = H5Dopen2(file, "weights", H5P_DEFAULT);
        std::vector<double> all(std::size_t{outputs} * inputs);
        ASSERT_GE(H5Dread(weights, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, all.data()),
                  0);
        H5Dclose(weights);
        H5Fclose(file);
        std::size_t differ = 0;
        for (unsigned j = 0; j < outputs; ++j) {
            for (unsigned i = 0; i < inputs; ++i) {
                differ +=
                    bits(all[std::size_t{j} * inputs + i]) !=
                    bits(net.Weights.Weight(static_cast<int>(j + 1), static_cast<int>(i + 1)));
            }
        }
        EXPECT_EQ(differ, 0U);
    }
}

// HDF5's checksum as the library writes it out: words of 16 bits, big-endian, folded every
// 360 words.
std::uint32_t literalFletcher32(const unsigned char* data, std::size_t bytes) {
    std::size_t len = bytes / 2;
    std::uint32_t sum1 = 0;
    std::uint32_t sum2 = 0;
    while (len > 0) {
        std::size_t tlen = len > 360 ? 360 : len;
        len -= tlen;
        do {
            sum1 += static_cast<std::uint32_t>((data[0] << 8) | data[1]);
            data += 2;
            sum2 += sum1;
        } while (--tlen > 0);
        sum1 = (sum1 & 0xffff) + (sum1 >> 16);
        sum2 = (sum2 & 0xffff) + (sum2 >> 16);
    }
    if (bytes % 2 != 0) {
        sum1 += static_cast<std::uint32_t>(*data << 8);
        sum2 += sum1;
        sum1 = (sum1 & 0xffff) + (sum1 >> 16);
        sum2 = (sum2 & 0xffff) + (sum2 >> 16);
    }
    sum1 = (sum1 & 0xffff) + (sum1 >> 16);
    sum2 = (sum2 & 0xffff) + (sum2 >> 16);
    return (sum2 << 16) | sum1;
}

TEST(Fletcher32, AgreesWithTheLiteralSumOnAnyLength) {
    std::vector<unsigned char> data((std::size_t{1} << 21) + 7);
    std::uint32_t state = 12345;
    for (unsigned char& byte : data) {
        state = state * 1103515245U + 12345U;
        byte = static_cast<unsigned char>(state >> 24);
    }
    for (const std::size_t bytes : {std::size_t{0}, std::size_t{1}, std::size_t{2},
                                    std::size_t{721}, std::size_t{1} << 21, data.size()}) {
        EXPECT_EQ(files::Fletcher32(data.data(), bytes), literalFletcher32(data.data(), bytes))
            << bytes;
    }
    // All 0xff: every sum a multiple of 65535, folded to 0xffff and not to 0.
    const std::vector<unsigned char> ones(4000, 0xff);
    EXPECT_EQ(files::Fletcher32(ones.data(), ones.size()), literalFletcher32(ones.data(), 4000));
}

TEST_F(NetworkFileTest, CancelAndFailureKeepTheEarlierFileAndNetwork) {
    const PublicStuff first = trained(3, 2, 2, "Hebb", 2);
    std::string error;
    ASSERT_TRUE(files::SaveNetwork(first, path("n.h5"), error)) << error;
    const std::string saved = contents(path("n.h5"));

    core::Progress cancelled;
    cancelled.requestStop();
    EXPECT_FALSE(files::SaveNetwork(trained(4, 5, 2, "Delta", 3), path("n.h5"), error, &cancelled));
    EXPECT_EQ(error, "Saving the network to \"" + path("n.h5") + "\" was cancelled.");
    PublicStuff untrained = first;
    untrained.TrainedOnProblem = false;
    EXPECT_FALSE(files::SaveNetwork(untrained, path("n.h5"), error));
    EXPECT_NE(error.find("has not been trained on \"made.net\""), std::string::npos) << error;
    EXPECT_EQ(contents(path("n.h5")), saved);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), {}), 1);  // no temporary file left

    PublicStuff target = trained(4, 5, 2, "Delta", 3);
    const PublicStuff before = target;
    EXPECT_FALSE(files::OpenNetwork(target, path("n.h5"), error, &cancelled));
    EXPECT_EQ(error, "Opening the network file \"" + path("n.h5") + "\" was cancelled.");
    expectSameNetwork(before, target);
}

// ---- Files made bad by hand, through HDF5 itself ----

using Damage = std::function<void(hid_t file)>;

void setText(hid_t file, const char* name, const std::string& value) {
    H5Adelete(file, name);
    const hid_t type = H5Tcopy(H5T_C_S1);
    H5Tset_size(type, value.size() + 1);
    const hid_t space = H5Screate(H5S_SCALAR);
    const hid_t attribute = H5Acreate2(file, name, type, space, H5P_DEFAULT, H5P_DEFAULT);
    H5Awrite(attribute, type, value.c_str());
    H5Aclose(attribute);
    H5Sclose(space);
    H5Tclose(type);
}

void setInteger(hid_t file, const char* name, int value) {
    const hid_t attribute = H5Aopen(file, name, H5P_DEFAULT);
    H5Awrite(attribute, H5T_NATIVE_INT, &value);
    H5Aclose(attribute);
}

// Replaces a dataset by an unwritten chunked one of rows x columns.
void replaceDataset(hid_t file, const char* name, hsize_t rows, hsize_t columns) {
    H5Ldelete(file, name, H5P_DEFAULT);
    const hsize_t dims[2] = {rows, columns};
    const hsize_t chunk[2] = {std::min<hsize_t>(rows, 64), columns};
    const hid_t space = H5Screate_simple(2, dims, nullptr);
    const hid_t create = H5Pcreate(H5P_DATASET_CREATE);
    H5Pset_chunk(create, 2, chunk);
    H5Dclose(H5Dcreate2(file, name, H5T_IEEE_F64LE, space, H5P_DEFAULT, create, H5P_DEFAULT));
    H5Pclose(create);
    H5Sclose(space);
}

// "desired_outputs" (2 by 3) again, written whole, of `type`, compressed when `deflate`.
void replaceDesired(hid_t file, hid_t type, bool deflate) {
    H5Ldelete(file, "desired_outputs", H5P_DEFAULT);
    const hsize_t dims[2] = {2, 3};
    const hid_t space = H5Screate_simple(2, dims, nullptr);
    const hid_t create = H5Pcreate(H5P_DATASET_CREATE);
    if (deflate) {
        H5Pset_chunk(create, 2, dims);
        H5Pset_deflate(create, 6);
    }
    const hid_t dataset =
        H5Dcreate2(file, "desired_outputs", type, space, H5P_DEFAULT, create, H5P_DEFAULT);
    const double values[6] = {1, 0, 0, 0, 1, 0};
    H5Dwrite(dataset, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, values);
    H5Dclose(dataset);
    H5Pclose(create);
    H5Sclose(space);
}

// "weights" again at its shape, in chunks of one row of which only the first is written.
void replaceWeightsPartly(hid_t file) {
    const hid_t old = H5Dopen2(file, "weights", H5P_DEFAULT);
    const hid_t oldSpace = H5Dget_space(old);
    hsize_t dims[2] = {};
    H5Sget_simple_extent_dims(oldSpace, dims, nullptr);
    H5Sclose(oldSpace);
    H5Dclose(old);
    H5Ldelete(file, "weights", H5P_DEFAULT);
    const hsize_t chunk[2] = {1, dims[1]};
    const hid_t space = H5Screate_simple(2, dims, nullptr);
    const hid_t create = H5Pcreate(H5P_DATASET_CREATE);
    H5Pset_chunk(create, 2, chunk);
    const hid_t dataset =
        H5Dcreate2(file, "weights", H5T_IEEE_F64LE, space, H5P_DEFAULT, create, H5P_DEFAULT);
    const hsize_t start[2] = {0, 0};
    H5Sselect_hyperslab(space, H5S_SELECT_SET, start, nullptr, chunk, nullptr);
    const hid_t memory = H5Screate_simple(2, chunk, nullptr);
    const std::vector<double> row(dims[1], 0.5);
    H5Dwrite(dataset, H5T_NATIVE_DOUBLE, memory, space, H5P_DEFAULT, row.data());
    H5Sclose(memory);
    H5Dclose(dataset);
    H5Pclose(create);
    H5Sclose(space);
}

// Flips one byte in the middle of the first chunk of "weights", as damage in transit would.
void flipAWeightByte(const std::string& path) {
    haddr_t address = 0;
    hsize_t size = 0;
    {
        const hid_t file = H5Fopen(path.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT);
        const hid_t dataset = H5Dopen2(file, "weights", H5P_DEFAULT);
        const hsize_t origin[2] = {0, 0};
        unsigned mask = 0;
        H5Dget_chunk_info_by_coord(dataset, origin, &mask, &address, &size);
        H5Dclose(dataset);
        H5Fclose(file);
    }
    ASSERT_GT(size, 8U);
    std::fstream bytes(path, std::ios::in | std::ios::out | std::ios::binary);
    bytes.seekg(static_cast<std::streamoff>(address + size / 2));
    const char was = static_cast<char>(bytes.get());
    bytes.seekp(static_cast<std::streamoff>(address + size / 2));
    bytes.put(static_cast<char>(was ^ 0x10));
}

void writeNaN(hid_t file) {
    const hid_t dataset = H5Dopen2(file, "input_patterns", H5P_DEFAULT);
    const hid_t space = H5Dget_space(dataset);
    const hsize_t start[2] = {1, 2};
    const hsize_t one[2] = {1, 1};
    H5Sselect_hyperslab(space, H5S_SELECT_SET, start, nullptr, one, nullptr);
    const hid_t memory = H5Screate_simple(2, one, nullptr);
    const double nan = std::nan("");
    H5Dwrite(dataset, H5T_NATIVE_DOUBLE, memory, space, H5P_DEFAULT, &nan);
    H5Sclose(memory);
    H5Sclose(space);
    H5Dclose(dataset);
}

TEST_F(NetworkFileTest, BadFilesAreRefusedByNameQuietlyAndChangeNothing) {
    const PublicStuff source = trained(3, 4, 2, "Delta", 3);
    std::string error;
    ASSERT_TRUE(files::SaveNetwork(source, path("good.h5"), error)) << error;
    const std::string good = contents(path("good.h5"));
    const auto damaged = [&](const Damage& damage) {
        fs::copy_file(path("good.h5"), path("bad.h5"), fs::copy_options::overwrite_existing);
        const hid_t file = H5Fopen(path("bad.h5").c_str(), H5F_ACC_RDWR, H5P_DEFAULT);
        damage(file);
        H5Fclose(file);
    };
    const auto written = [&](const std::string& bytes) {
        std::ofstream(path("bad.h5"), std::ios::binary | std::ios::trunc) << bytes;
    };
    struct Case {
        const char* what;
        std::function<void()> make;
        const char* message;
    };
    const Case cases[] = {
        {"a training file", [&] { written("2 0 3 2 1 0 1 0 1 0 1 0 0 1"); }, "is not an HDF5 file"},
        {"truncated", [&] { written(good.substr(0, good.size() / 2)); }, "is damaged or truncated"},
        {"another format", [&] { damaged([](hid_t f) { setText(f, "format", "pictures"); }); },
         "is no distmem network: its \"format\" attribute is \"pictures\""},
        {"newer version", [&] { damaged([](hid_t f) { setInteger(f, "format_version", 3); }); },
         "was saved by a newer distmem (format version 3; this one reads version 2)"},
        {"no attribute", [&] { damaged([](hid_t f) { H5Adelete(f, "learning_rate"); }); },
         "has no \"learning_rate\" attribute"},
        {"unknown rule", [&] { damaged([](hid_t f) { setText(f, "learning_rule", "Oja"); }); },
         "has learning_rule = \"Oja\""},
        {"a rate as text", [&] { damaged([](hid_t f) { setText(f, "learning_rate", "fast"); }); },
         "has an attribute \"learning_rate\" that is not a number."},
        {"single precision",
         [&] { damaged([](hid_t f) { replaceDesired(f, H5T_IEEE_F32LE, false); }); },
         "holds \"desired_outputs\" in a type other than 64-bit floating point."},
        {"compressed", [&] { damaged([](hid_t f) { replaceDesired(f, H5T_IEEE_F64LE, true); }); },
         "stores \"desired_outputs\" compressed, filtered or in other files"},
        {"no dataset",
         [&] { damaged([](hid_t f) { H5Ldelete(f, "desired_outputs", H5P_DEFAULT); }); },
         "has no dataset \"desired_outputs\"."},
        {"shapes disagree",
         [&] { damaged([](hid_t f) { replaceDataset(f, "desired_outputs", 2, 5); }); },
         "has \"desired_outputs\" of 2 by 5 (patterns by output units), but 2 patterns and 3 "
         "output units call for 2 by 3."},
        {"too large", [&] { damaged([](hid_t f) { replaceDataset(f, "weights", 40000, 4); }); },
         "has \"weights\" of 40000 by 4 (output units by input units); each count must lie"},
        {"values missing",
         [&] { damaged([](hid_t f) { replaceDataset(f, "sse_history", 2000, 2); }); },
         "has parts of \"sse_history\" that were never written"},
        {"a chunk never written", [&] { damaged(replaceWeightsPartly); },
         "has parts of \"weights\" that were never written: it is truncated or damaged."},
        {"a flipped bit in the values",
         [&] {
             fs::copy_file(path("good.h5"), path("bad.h5"), fs::copy_options::overwrite_existing);
             flipAWeightByte(path("bad.h5"));
         },
         "is damaged or truncated: the values of \"weights\" cannot be read."},
        {"not finite", [&] { damaged(writeNaN); },
         "has a value that is not a finite number in \"input_patterns\" at row 2, column 3."},
        {"link elsewhere",
         [&] {
             damaged([](hid_t f) {
                 H5Ldelete(f, "weights", H5P_DEFAULT);
                 H5Lcreate_external("good.h5", "weights", f, "weights", H5P_DEFAULT, H5P_DEFAULT);
             });
         },
         "has \"weights\" as something other than a dataset in this file"},
        {"FIFO",
         [&] {
             fs::remove(path("bad.h5"));
             ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);
             fs::create_symlink(path("fifo"), path("bad.h5"));
         },
         "is not a regular file (a device, FIFO or socket, or a link to one)"},
    };
    PublicStuff target = trained(4, 5, 2, "Hebb", 2);
    const PublicStuff before = target;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.make();
        testing::internal::CaptureStderr();
        EXPECT_FALSE(files::OpenNetwork(target, path("bad.h5"), error));
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_NE(error.find("\"" + path("bad.h5") + "\""), std::string::npos) << error;
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
        expectSameNetwork(before, target);
    }
}

// A reader that crashes, as HDF5 might on a file no checksum caught: the file is said to be
// damaged, and nothing was opened.
TEST_F(NetworkFileTest, AReaderThatCrashesOpensNothing) {
    const PublicStuff source = trained(3, 4, 2, "Delta", 3);
    std::string error;
    ASSERT_TRUE(files::SaveNetwork(source, path("n.h5"), error)) << error;
    {
        std::ofstream script(path("crashing-reader"));
        script << "#!/bin/sh\nprintf H\nkill -ABRT $$\n";
    }
    fs::permissions(path("crashing-reader"), fs::perms::owner_all);
    ::setenv("DAM_NETWORK_READER", path("crashing-reader").c_str(), 1);
    PublicStuff target = trained(4, 5, 2, "Hebb", 2);
    const PublicStuff before = target;
    EXPECT_FALSE(files::OpenNetwork(target, path("n.h5"), error));
    EXPECT_EQ(error, "The network file \"" + path("n.h5") +
                         "\" is damaged and cannot be read. Nothing was opened.");
    expectSameNetwork(before, target);
}

// A run of two parts, Delta then Hebb, keeps its parts through a save and an open.
TEST_F(NetworkFileTest, TheRunsPartsAreKept) {
    PublicStuff net = trained(2, 3, 2, "Delta", 4);
    net.LearningRule = core::Rule::Hebb;
    net.MaxSweeps = static_cast<std::int16_t>(net.SweepCount + 3);
    net.FreshStart = 0;
    Quiet quiet;
    training::RunTraining(net, {true, false}, quiet);
    EXPECT_EQ(files::FormatTrainedParts(net.TrainedParts), "Delta 0.001 4;Hebb 0.001 3");
    std::string error;
    ASSERT_TRUE(files::SaveNetwork(net, path("parts.h5"), error)) << error;
    PublicStuff opened;
    ASSERT_TRUE(files::OpenNetwork(opened, path("parts.h5"), error)) << error;
    EXPECT_EQ(files::FormatTrainedParts(opened.TrainedParts), "Delta 0.001 4;Hebb 0.001 3");
    // Parts that do not add up to the epochs trained are refused.
    std::vector<core::TrainedPart> parts;
    EXPECT_FALSE(files::ParseTrainedParts("Delta 0.1", parts));
    EXPECT_FALSE(files::ParseTrainedParts("Oja 0.1 3", parts));
    const hid_t file = H5Fopen(path("parts.h5").c_str(), H5F_ACC_RDWR, H5P_DEFAULT);
    setText(file, "run_parts", "Delta 0.001 4");
    H5Fclose(file);
    EXPECT_FALSE(files::OpenNetwork(opened, path("parts.h5"), error));
    EXPECT_NE(error.find("which are not parts (rule, rate, epochs) adding up to the epochs "
                         "trained"),
              std::string::npos)
        << error;
}

TEST(NetworkFileText, InfoLineAndNetworkFileNames) {
    PublicStuff net;
    net.SweepCount = 300;
    net.LearningRule = core::Rule::Delta;
    net.LearningRate = 0.1;
    EXPECT_EQ(files::NetworkInfoLine(net), "Trained 300 epochs, Delta rule, rate 0.1");
    net.SweepCount = 1;
    net.LearningRule = core::Rule::Hebb;
    net.LearningRate = 0.25;
    EXPECT_EQ(files::NetworkInfoLine(net, {",", "."}), "Trained 1 epoch, Hebb rule, rate 0,25");
    // A file that kept the parts of its run lists them; parts that do not add up are ignored.
    net.SweepCount = 300;
    net.TrainedParts = {{core::Rule::Delta, 0.1, 200}, {core::Rule::Hebb, 0.25, 100}};
    EXPECT_EQ(files::NetworkInfoLine(net, {",", "."}),
              "Trained 300 epochs: Delta 0,1 for 200, then Hebb 0,25 for 100");
    net.TrainedParts.pop_back();
    EXPECT_EQ(files::NetworkInfoLine(net), "Trained 300 epochs, Hebb rule, rate 0.25");
    EXPECT_TRUE(files::IsNetworkFileName("a/b.H5"));
    EXPECT_FALSE(files::IsNetworkFileName("b.h5.net"));
}

}  // namespace
