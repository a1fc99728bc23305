#include "dialogs/guideline_texts.h"

namespace kestrel::dialogs {
namespace {

constexpr const char* kDriveSetupGuideline[] = {
    "Step 1.\tIn the <<Control mode>> group box, select what do you want to control: position, speed or torque.  In the <<Commutation method>> group box, choose sinusoidal or trapezoidal mode. The trapezoidal mode is possible only if your motor is equipped with digital Hall sensors.",
    "Step 2.\tIn the <<External reference>> group box, select <<Yes>> if your drive gets a position, speed or torque reference from an external device. Press the <<Setup>> button to select the reference type: analogue or pulse & direction or incremental encoder and its parameters.",
    "Step 3.\tIn the <<Drive operation parameters>> group box, set the value of the DC voltage power supply. Use the <<Detect>> button to measure its actual value as applied to the drive. Also set the <<Current limit>> parameter, e.g. the maximum current value used by the drive to control the motor.",
    "Step 4.\tIn the <<Current controller>> group box, set the current controller parameters Kp (proportional) and Ki (integral). Use the <<Tune & Test>> button to automatically compute the current controller parameters and to test the current loop behavior.",
    "Step 5.\tIn the <<Speed Controller>> group box, set the speed controller parameters Kp (proportional), Ki (integral), Integral limit (saturation limit for the integral term of the controller) and the acceleration Feedforward. Use the <<Tune & Test>> button to automatically compute the speed controller parameters and to test the speed loop response. Before tuning the speed controller, make sure to set the right value for the ratio load inertia /motor inertia or to identify the total inertia. Note that the controller tuning does not include the acceleration feedforward. Set initially this value to 0, and then establish the other controller parameters. Finally increase gradually the acceleration feedforward and check the speed loop response.",
    "Step 6.\tIn the <<Position Controller>> group box, set the position controller parameters Kp (proportional), Ki (integral), Kd (derivative), Kd filter (filtering coefficient for the derivative term), Integral limit (saturation limit for the integral term of the controller), Speed limit (saturation limit for the position controller output, seen as a speed reference value), acceleration and speed feedforward. Use the <<Tune & Test>> button to automatically compute the position controller parameters and to test the position loop behavior. Before tuning the position controller, make sure to set the right value for the ratio load inertia /motor inertia or to identify the total inertia. Note that the controller tuning does not include the acceleration and speed feedforward. Set initially these values to 0, and then establish the other controller parameters. Finally increase gradually the acceleration and speed feedforward and check the speed loop behavior.",
    "Step 7.\tIn the <<Protections>> group box, select and parameterize the protections that you want to activate.",
    "Step 8. In the <<External brake resistor>> group box, check <<Connected>> if you have a brake resistor connected to the drive. Set the voltage level at which the drive starts to clamp the supply via the brake resistor.",
    "Step 9. In the <<Inputs polarity>> check box, select the active levels for the Enable and the two limit switch inputs.",
    "Step 10. For sinusoidal commutation, the <<Start mode>> group box is active. If your motor is equipped with digital Hall sensors, select the start method to be used. For the method <<Move till aligned with phase A>>, set up the current value to use during the motor start and the time needed to align the motor first on phase B and then on phase A. For the method <<Motionless start (encoder only)>>, use the <<Tune & Test>> button to set the electric angle controller parameters and to test the motionless start.",
};

constexpr const char* kRotaryMotorGuideline[] = {
    "Step 1. Select your motor from a database. If your motor does not exist in any database, proceed through all the next steps in order to define your motor and sensors data. In either case, use the tests from the next steps to verify/detect the motor and sensors parameters and operation.",
    "Step 2. Check the values for nominal and peak currents. Press the <<Test Phase Connections>> button to verify that your motor phases are well connected to the drive.",
    "Step 3. Check the number of motor pole pairs. Press the <<Detect Number of Pole Pairs>> button to autodetect this value.",
    "Step 4. Check the torque constant value.",
    "Step 5. Check the resistance and inductance values. Press the <<Identify Resistance and Inductance>> button to autodetect these parameters.",
    "Step 6. Check the value of the motor inertia. If you don't know this value, check the <<Motor inertia is unknown>> checkbox.",
    "Step 7. Use the <<Test Connections>> button in order to verify the operation of the A and B encoder signals. Check the value of the <<No. of lines/rev>> parameter giving the encoder resolution. Press the <<Detect Number of Lines>> button to automatically detect this value.",
    "Step 8.\tCheck the <<Hall Sensors>> checkbox if Hall sensors are mounted on your motor. Use the <<Test Connections>> button in order to verify the operation of the 3 Hall sensor inputs. Press the <<Detect Hall Configuration>> button to automatically detect the commutation sequence (Hall Configuration).",
    "Step 9. In <<Transmission to load>> select the transmission type and the ratio by setting the correspondance between the motor and load displacements.",
    "Step 10. If you want to save your motor data, select the USER database, and then press the <<Save As>> button.",
};

constexpr const char* kLinearMotorGuideline[] = {
    "Step 1. Select your motor from a database. If your motor does not exist in any database, proceed through all the next steps in order to define your motor and sensors data. In either case, use the tests from the next steps to verify/detect the motor and sensors parameters and operation.",
    "Step 2. Check the values for nominal and peak currents. Press the <<Test Phase Connections>> button to verify that your motor phases are well connected to the drive.",
    "Step 3. Check the magnetic pole pitch and the force constant values.",
    "Step 4. Check the resistance and inductance values. Press the <<Identify Resistance and Inductance>> button to autodetect these parameters.",
    "Step 5. Check the value of the motor moving part mass.",
    "Step 6. Use the <<Test Connections>> button in order to verify the presence of encoder signals. Check the value of the <<Resolution>> parameter giving the encoder resolution. Press the <<Detect Resolution>> button to automatically detect this value.",
    "Step 7. Check the <<Hall Sensors>> checkbox if Hall sensors are mounted on your motor. Use the <<Test Connections>> button in order to verify the operation of the 3 Hall sensor inputs. Press the <<Detect Hall Configuration>> button to automatically detect the commutation sequence (Hall Configuration).",
    "Step 8. In <<Transmission to load>> select the transmission type and the ratio by setting the correspondance between the motor and load displacements.",
    "Step 9. If you want to save your motor data, select the USER database, and then press the <<Save As>> button.",
};

}  // namespace

drivebase::GuidelineTable DriveSetupGuideline() { return kDriveSetupGuideline; }
drivebase::GuidelineTable RotaryMotorGuideline() { return kRotaryMotorGuideline; }
drivebase::GuidelineTable LinearMotorGuideline() { return kLinearMotorGuideline; }

}  // namespace kestrel::dialogs
